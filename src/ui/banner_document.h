#pragma once
// The banner's document as the banner handler sees it, over a web page: the
// handler's assignments are gathered into one script that runs in the page
// without waiting for an answer. The script itself checks that the document
// has a body, so hasBody() can answer at once.
#include <QString>
#include <QStringList>

#include "app/Unit1.h"

class QWebEnginePage;

namespace ui {

class ScriptedBannerDocument : public BannerDocument {
  public:
    bool hasBody() const override { return true; }
    void setBodyScroll(const std::string& value) override;
    void setBodyStyleMargin(const std::string& value) override;
    void setBodyStyleBorderWidth(int value) override;

    // The gathered assignments as one script that yields whether the page had
    // a body; empty when there are none.
    QString script() const;
    // Runs the script in the page (asynchronously).
    void applyTo(QWebEnginePage& page) const;

  private:
    QStringList m_statements;
};

// A JavaScript string literal holding `text`.
QString jsString(const QString& text);

} // namespace ui
