// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/FileErrors.h"

#include "examfile/Engine.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace ia {

std::string FileErrorReason(int e) {
    switch (e) {
    case ENOSPC:
    case EDQUOT:
        return "พื้นที่ดิสก์เต็ม";
    case EFBIG:
        return "ไฟล์ใหญ่เกินกว่าที่ระบบยอมให้";
    case EROFS:
        return "โฟลเดอร์เป็นแบบอ่านอย่างเดียว";
    case EACCES:
    case EPERM:
        return "ไม่มีสิทธิ์เขียนในโฟลเดอร์นี้";
    case ENOENT:
        return "ไม่พบโฟลเดอร์";
    case ENOTDIR:
        return "ส่วนหนึ่งของชื่อโฟลเดอร์ไม่ใช่โฟลเดอร์";
    case ENAMETOOLONG:
        return "ชื่อไฟล์ยาวเกินกว่าที่ระบบไฟล์รองรับ";
    case EISDIR:
        return "มีโฟลเดอร์ชื่อเดียวกันอยู่แล้ว";
    case ETXTBSY:
    case EBUSY:
        return "ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น";
    case EIO:
        return "อ่านหรือเขียนดิสก์ไม่ได้";
    case 0:
        return "เขียนไฟล์ได้ไม่ครบ";
    default:
        return "เขียนไฟล์ไม่ได้ (รหัส " + std::to_string(e) + ")";
    }
}

bool OnReadOnlyMedium(const std::string& path) {
    struct statvfs vfs {};
    return ::statvfs(path.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0;
}

std::string NewFileProblem(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty()) return FileErrorReason(ENOENT);
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    const std::string name = fs::path(path).filename().string();
    if (name.size() > NAME_MAX || path.size() >= PATH_MAX) return FileErrorReason(ENAMETOOLONG);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return FileErrorReason(errno);
    if (!S_ISDIR(st.st_mode)) return FileErrorReason(ENOTDIR);
    if (OnReadOnlyMedium(folder.string())) return FileErrorReason(EROFS);
    if (::access(folder.c_str(), W_OK) != 0) return FileErrorReason(errno);
    // The journal's name is the file's with "-journal": it must fit as well.
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) == 0 && name.size() + 8 > vfs.f_namemax)
        return FileErrorReason(ENAMETOOLONG);
    return {};
}

PrivateCopy::PrivateCopy(const std::string& examFile) {
    const char* tmpRoot = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmpRoot && *tmpRoot ? tmpRoot : "/tmp") + "/itemanalysis-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("สร้างสำเนาชั่วคราวไม่ได้ (" + FileErrorReason(errno) + ")");
    folder_ = pattern;
    path_ = folder_ + "/copy.ans";
    try {
        Connection from(examFile, Connection::Mode::ReadOnly);
        Connection to(path_, Connection::Mode::Create);
        sqlite3_backup* b = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
        if (!b) throw DbError(sqlite3_errcode(to.handle()), sqlite3_errmsg(to.handle()));
        const int rc = sqlite3_backup_step(b, -1);
        sqlite3_backup_finish(b);
        if (rc != SQLITE_DONE) throw DbError(rc, Connection::ErrorText(rc, sqlite3_errstr(rc)));
    } catch (const std::exception& e) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
        throw std::runtime_error(std::string("สร้างสำเนาชั่วคราวไม่ได้ (") + e.what() + ")");
    }
}

PrivateCopy::~PrivateCopy() {
    Connection::ForgetShared(path_);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

} // namespace ia
