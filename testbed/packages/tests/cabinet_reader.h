#pragma once
// Reads a cabinet with the system's cabinet library (FDI) the way an
// extracting program does, noting every copy-file notification as it
// arrives; optionally writes the files into a folder with their stored times.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testbed {

struct CabinetEntry {
    std::string name;  // exactly as FDI hands it over
    LONG size = 0;
    USHORT date = 0, time = 0, attributes = 0;
};

struct CabinetRead {
    bool copied = false;  // FDICopy's result
    int fdiError = 0;     // ERF.erfOper when it failed
    std::vector<CabinetEntry> entries;
};

// Which stored names are written; every other file is skipped.
using NameFilter = std::function<bool(const std::string&)>;

// `folder` empty: every file is skipped (nothing is written). Otherwise each
// file the filter accepts (all without one) is written to
// folder\<stored name>, its times set from the stored date and time read as
// local time; stored attributes are not applied.
CabinetRead ReadCabinet(const std::string& cabinetPath, const std::string& folder = {}, NameFilter filter = {});

// FDIIsCabinet on the file: the number of files, or -1 when it is no cabinet.
int CabinetFileCount(const std::string& cabinetPath);

}  // namespace testbed
