#pragma once
// File-system edge: paths are GBK inside the program and UTF-8 on disk. The
// two conversions are lossless: a path reaches the file system as the bytes
// it was, even when they are not UTF-8.
#include <string>

// The file-system form of a GBK path.
std::string fsPath(const std::string& gbkPath);
// The GBK form of a file-system path; fsPath(gbkPath(p)) == p.
std::string gbkPath(const std::string& fsPath);
// Replaces the file with `bytes`. With ownerOnly the file is made readable and
// writable by its owner only. Throws std::runtime_error naming the path and the
// system's reason.
void writeWholeFile(const std::string& gbkPathName, const std::string& bytes,
                    bool ownerOnly = false);
// The directory of the running executable, ending with "/", in GBK.
std::string executableDir();
// Whether the GBK path names a directory (or a link to one).
bool isDirectory(const std::string& gbkPathName);
// Makes the directory and its missing parents. Throws std::runtime_error with
// the reason in Chinese when it cannot.
void makeDirectories(const std::string& gbkPathName);
// The reason of a system error number, in Chinese, for the window's messages.
std::string systemErrorText(int err);
