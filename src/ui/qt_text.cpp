#include "ui/qt_text.h"

#include <QFile>

#include "engine/files.h"
#include "protocol/codepage.h"

namespace ui {

QString toQ(const std::string& gbk) {
    return QString::fromStdU16String(cp::gbkToUtf16(gbk));
}

std::string fromQ(const QString& text) {
    return cp::utf16ToGbk(text.toStdU16String());
}

QString pathToQ(const std::string& gbk) {
    return QFile::decodeName(QByteArray::fromStdString(fsPath(gbk)));
}

std::string pathFromQ(const QString& path) {
    return gbkPath(QFile::encodeName(path).toStdString());
}

QString memoToQ(const std::string& gbk) {
    QString text = toQ(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

std::string memoFromQ(const QString& text) {
    QString crlf = text;
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return fromQ(crlf);
}

} // namespace ui
