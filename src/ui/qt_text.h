#pragma once
// The one place where the window's GBK texts meet Qt's UTF-16 strings.
#include <QString>
#include <string>

namespace ui {

QString toQ(const std::string& gbk);
std::string fromQ(const QString& text);

// A file-system path held as a GBK text and Qt's form of it, through the
// file-system bytes, so that a path Qt can represent comes back as it went.
QString pathToQ(const std::string& gbk);
std::string pathFromQ(const QString& path);

// A memo's model text keeps its line breaks as CR LF; the Qt editors use LF.
// A lone CR (from a file) is shown as a line break as well.
QString memoToQ(const std::string& gbk);
std::string memoFromQ(const QString& text);

} // namespace ui
