#include "prereq/cabinet.h"

#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include "core/context.h"
#include "win/text.h"

namespace {

constexpr int FDI_ERROR_USER_ABORT_CODE = 11;
constexpr int MAX_ATTEMPTS = 5;

// What the copy notifications need; travels as FDICopy's user value.
struct Extraction {
    SetupContext& context;
    std::string cabinetName;
    std::string destination;
    bool refusalLogged = false;
};

HANDLE AsHandle(INT_PTR hf) { return reinterpret_cast<HANDLE>(hf); }

FNALLOC(CabAlloc) { return ::HeapAlloc(::GetProcessHeap(), 0, cb); }

FNFREE(CabFree) { ::HeapFree(::GetProcessHeap(), 0, pv); }

FNOPEN(CabOpen) {
    (void)pmode;
    DWORD access = GENERIC_READ;
    if (oflag & _O_RDWR) {
        access = GENERIC_READ | GENERIC_WRITE;
    } else if (oflag & _O_WRONLY) {
        access = GENERIC_WRITE;
    }
    const DWORD disposition = (oflag & _O_CREAT) ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE file = ::CreateFileA(pszFile, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}

FNREAD(CabRead) {
    DWORD read = 0;
    return ::ReadFile(AsHandle(hf), pv, cb, &read, nullptr) ? read : static_cast<UINT>(-1);
}

FNWRITE(CabWrite) {
    DWORD written = 0;
    return ::WriteFile(AsHandle(hf), pv, cb, &written, nullptr) ? written : static_cast<UINT>(-1);
}

FNCLOSE(CabClose) { return ::CloseHandle(AsHandle(hf)) ? 0 : -1; }

FNSEEK(CabSeek) { return static_cast<__LONG32>(::SetFilePointer(AsHandle(hf), dist, nullptr, seektype)); }

INT_PTR OpenTarget(Extraction& extraction, const char* storedName) {
    // Cancel: the extraction aborts before its next file.
    if (extraction.context.cancel.Requested()) return -1;
    const std::string name = storedName ? storedName : "";
    const std::string target = text::JoinPath(extraction.destination, name);
    if (IsUnsafeCabinetName(name) || target.size() > CABINET_PATH_LIMIT) {
        if (!extraction.refusalLogged) {
            extraction.refusalLogged = true;
            const char* reason = IsUnsafeCabinetName(name) ? "Unsafe file name in cabinet " : "Path too long in cabinet ";
            extraction.context.Log(LOG_SERVER, reason + extraction.cabinetName + ": " + name);
        }
        return -1;
    }
    HANDLE file = ::CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}

BOOL CloseTarget(PFDINOTIFICATION notification) {
    FILETIME local, utc;
    if (::DosDateTimeToFileTime(notification->date, notification->time, &local) == 1 &&
        ::LocalFileTimeToFileTime(&local, &utc) == 1) {
        ::SetFileTime(AsHandle(notification->hf), &utc, &utc, &utc);
    }
    return ::CloseHandle(AsHandle(notification->hf));
}

FNFDINOTIFY(CabinetNotify) {
    try {
        switch (fdint) {
            case fdintCABINET_INFO:
            case fdintPARTIAL_FILE:
            case fdintENUMERATE:
                return 0;
            case fdintCOPY_FILE:
                return OpenTarget(*static_cast<Extraction*>(pfdin->pv), pfdin->psz1);
            case fdintCLOSE_FILE_INFO:
                return CloseTarget(pfdin) ? 1 : 0;
            case fdintNEXT_CABINET:
                return pfdin->fdie != FDIERROR_NONE ? -1 : 0;
            default:
                return -1;
        }
    } catch (...) {
        return -1;  // nothing may unwind through the cabinet library
    }
}

void ReportFailure(SetupContext& context, const char* operation, int code) {
    LogCabinetError(context, code);
    context.host.WriteStandardOutput(std::string(operation) + " failed with error code " + std::to_string(code) +
                                     ": " + CabinetErrorText(code) + "\n");
}

}  // namespace

const char* CabinetErrorText(int code) {
    static constexpr const char* TEXTS[] = {"No error",
                                            "Cabinet not found",
                                            "Not valid cabinet",
                                            "Unknown cabinet version",
                                            "Corrupt cabinet",
                                            "Memory allocation failed",
                                            "Unknown compression type",
                                            "Failure decompressing data",
                                            "Failure writing to target file",
                                            "Cabinets in set have different RESERVE sizes",
                                            "Cabinet returned on fdintNEXT_CABINET is incorrect",
                                            "Application aborted"};
    return code >= 0 && code <= 11 ? TEXTS[code] : "Unknown error";
}

void LogCabinetError(SetupContext& context, int code) { context.Log(LOG_SERVER, CabinetErrorText(code)); }

bool IsUnsafeCabinetName(std::string_view name) {
    if (name.empty()) return true;
    if (name[0] == '\\' || name[0] == '/') return true;
    if (name.find(':') != std::string_view::npos) return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view component = name.substr(start, end - start);
        if (component == ".." || text::IsDeviceName(component)) return true;
        start = end + 1;
    }
    return false;
}

int ExtractCabinetFiles(SetupContext& context, const std::string& cabinetName, const std::string& cabinetPath,
                        const std::string& destinationDir) {
    for (const std::string* path : {&cabinetName, &cabinetPath, &destinationDir}) {
        if (path->size() > CABINET_PATH_LIMIT) {
            context.Log(LOG_SERVER, "Path too long for extraction", *path);
            return 0;
        }
    }
    ERF error = {};
    HFDI fdi = ::FDICreate(CabAlloc, CabFree, CabOpen, CabRead, CabWrite, CabClose, CabSeek, cpuUNKNOWN, &error);
    if (!fdi) {
        LogCabinetError(context, error.erfOper);
        return 0;
    }
    Extraction extraction{context, cabinetName, destinationDir};
    std::string name = cabinetName;
    std::string path = cabinetPath;
    int result = 0;
    error.erfOper = 0;
    for (int aborted = 0;;) {
        if (::FDICopy(fdi, name.data(), path.data(), 0, CabinetNotify, nullptr, &extraction)) {
            result = 1;
            break;
        }
        // An abort for Cancel is no locked file: it is not tried again, nor reported.
        if (context.cancel.Requested()) break;
        if (error.erfOper == FDI_ERROR_USER_ABORT_CODE) {
            if (++aborted < MAX_ATTEMPTS) continue;  // a locked target may be free again
            break;
        }
        ReportFailure(context, "FDICopy", error.erfOper);
        break;
    }
    if (::FDIDestroy(fdi) != TRUE) ReportFailure(context, "FDIDestroy", error.erfOper);
    return result;
}

int ExtractCabinet(SetupContext& context, const std::string& fileName, const std::string& cabinetDir,
                   const std::string& destinationDir) {
    if (!text::Contains(fileName, "cab")) return 1;
    std::string cabinetPath = cabinetDir;
    if (!text::EndsWithBackslash(cabinetPath)) cabinetPath += '\\';
    return ExtractCabinetFiles(context, fileName, cabinetPath, destinationDir) ? 1 : 0;
}
