#include "thesaurus/db_failure.h"

#include <cerrno>
#include <sqlite3.h>

#include "protocol/codepage.h"
#include "sqlitedb/sqlite.h"

namespace {

// The user's side of a failure: the cause, as far as the codes tell it.
const char* explanation(const DbError& error) {
    const int primary = error.code() & 0xFF;
    const int sys = error.systemErrno();
    const bool denied = sys == EACCES || sys == EPERM || sys == EROFS;
    if (primary == SQLITE_READONLY ||
        ((primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR) && denied))
        return "词库文件 setting.dat 不能写入（文件是只读的，或没有写入它所在文件夹的权限），"
               "操作没有完成。\n请去掉文件的只读属性、确认对它所在的文件夹有写入权限，然后重试。";
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return "词库文件 setting.dat 正被另一个程序占用，操作没有完成。\n"
               "请关闭正在使用它的程序（例如又打开的一个本工具），然后重试。";
    if (primary == SQLITE_FULL || sys == ENOSPC || sys == EDQUOT)
        return "磁盘已满，词库文件 setting.dat 无法写入，操作没有完成。\n"
               "请清理出磁盘空间，然后重试。";
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        return "词库文件 setting.dat 已损坏，或不是本工具的词库文件。\n"
               "请用备份的 setting.dat 替换它，然后重新启动程序。";
    if (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR)
        return "读写词库文件 setting.dat 时出错，操作没有完成。\n"
               "请确认文件还在、所在的磁盘可以访问，然后重试。";
    return "词库数据库操作失败。\n请重试；如果反复出现，请重新加载词库或重新启动程序。";
}

} // namespace

std::string dbFailureText(const DbError& error) {
    // SQLite's messages are UTF-8 and may quote a file's path.
    const std::string technical = error.what();
    return cp::G(explanation(error)) + cp::G("\n\n技术信息：") +
           (cp::isValidUtf8(technical) ? cp::utf8ToGbk(technical) : technical);
}
