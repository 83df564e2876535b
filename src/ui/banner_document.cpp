#include "ui/banner_document.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEnginePage>

#include "ui/qt_text.h"

namespace ui {

QString jsString(const QString& text) {
    // A JSON string is a valid JavaScript string literal.
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    const QString array = QString::fromUtf8(json);
    return array.mid(1, array.size() - 2);
}

void ScriptedBannerDocument::setBodyScroll(const std::string& value) {
    const QString text = toQ(value);
    m_statements << QStringLiteral("b.scroll = %1;").arg(jsString(text));
    // The scroll attribute is not honoured by the web engine; the style that
    // hides the page's scroll bars has the same effect.
    if (text.compare(QStringLiteral("no"), Qt::CaseInsensitive) == 0)
        m_statements << QStringLiteral("b.style.overflow = \"hidden\";");
}

void ScriptedBannerDocument::setBodyStyleMargin(const std::string& value) {
    m_statements << QStringLiteral("b.style.margin = %1;").arg(jsString(toQ(value)));
}

void ScriptedBannerDocument::setBodyStyleBorderWidth(int value) {
    m_statements << QStringLiteral("b.style.borderWidth = %1;").arg(value);
}

QString ScriptedBannerDocument::script() const {
    if (m_statements.isEmpty()) return {};
    return QStringLiteral(
               "(function () { var b = document.body; if (!b) return false; %1 return true; })();")
        .arg(m_statements.join(' '));
}

void ScriptedBannerDocument::applyTo(QWebEnginePage& page) const {
    const QString code = script();
    if (!code.isEmpty()) page.runJavaScript(code);
}

} // namespace ui
