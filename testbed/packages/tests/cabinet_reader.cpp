#include "cabinet_reader.h"

#include <fcntl.h>
#include <fdi.h>

#include <cstdlib>
#include <utility>

namespace testbed {

namespace {

FNALLOC(Allocate) { return std::malloc(cb); }
FNFREE(Free) { std::free(pv); }

FNOPEN(Open) {
    (void)pmode;
    DWORD access = (oflag & _O_RDWR) ? GENERIC_READ | GENERIC_WRITE : (oflag & _O_WRONLY) ? GENERIC_WRITE : GENERIC_READ;
    DWORD disposition = (oflag & _O_CREAT) ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE file = ::CreateFileA(pszFile, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}

FNREAD(Read) {
    DWORD got = 0;
    return ::ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &got, nullptr) ? got : static_cast<UINT>(-1);
}

FNWRITE(Write) {
    DWORD put = 0;
    return ::WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &put, nullptr) ? put : static_cast<UINT>(-1);
}

FNCLOSE(Close) { return ::CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1; }

FNSEEK(Seek) {
    DWORD method = seektype == SEEK_SET ? FILE_BEGIN : seektype == SEEK_CUR ? FILE_CURRENT : FILE_END;
    return static_cast<LONG>(::SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, method));
}

struct CopyContext {
    std::string folder;
    NameFilter filter;
    std::vector<CabinetEntry>* entries;
};

FNFDINOTIFY(Notify) {
    auto* context = static_cast<CopyContext*>(pfdin->pv);
    try {
        if (fdint == fdintCOPY_FILE) {
            context->entries->push_back({pfdin->psz1, pfdin->cb, pfdin->date, pfdin->time, pfdin->attribs});
            if (context->folder.empty() || (context->filter && !context->filter(pfdin->psz1))) return 0;
            std::string target = context->folder + "\\" + pfdin->psz1;
            HANDLE file = ::CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
            return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
        }
        if (fdint == fdintCLOSE_FILE_INFO) {
            HANDLE file = reinterpret_cast<HANDLE>(pfdin->hf);
            FILETIME local, utc;
            if (::DosDateTimeToFileTime(pfdin->date, pfdin->time, &local) && ::LocalFileTimeToFileTime(&local, &utc))
                ::SetFileTime(file, &utc, &utc, &utc);
            return ::CloseHandle(file) ? TRUE : FALSE;
        }
        return 0;
    } catch (...) {  // nothing may cross back into FDI
        return -1;
    }
}

struct FdiContext {
    HFDI fdi = nullptr;
    ERF erf{};
    FdiContext() { fdi = FDICreate(Allocate, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf); }
    ~FdiContext() {
        if (fdi) FDIDestroy(fdi);
    }
    FdiContext(const FdiContext&) = delete;
    FdiContext& operator=(const FdiContext&) = delete;
};

}  // namespace

CabinetRead ReadCabinet(const std::string& cabinetPath, const std::string& folder, NameFilter filter) {
    CabinetRead result;
    FdiContext context;
    if (!context.fdi) {
        result.fdiError = context.erf.erfOper;
        return result;
    }
    size_t slash = cabinetPath.find_last_of("\\/");
    std::string path = cabinetPath.substr(0, slash + 1);
    std::string name = cabinetPath.substr(slash + 1);
    CopyContext copy{folder, std::move(filter), &result.entries};
    result.copied = FDICopy(context.fdi, name.data(), path.data(), 0, Notify, nullptr, &copy);
    if (!result.copied) result.fdiError = context.erf.erfOper;
    return result;
}

int CabinetFileCount(const std::string& cabinetPath) {
    FdiContext context;
    if (!context.fdi) return -1;
    INT_PTR file = Open(const_cast<char*>(cabinetPath.c_str()), _O_RDONLY, 0);
    if (file == -1) return -1;
    FDICABINETINFO info{};
    BOOL isCabinet = FDIIsCabinet(context.fdi, file, &info);
    Close(file);
    return isCabinet ? info.cFiles : -1;
}

}  // namespace testbed
