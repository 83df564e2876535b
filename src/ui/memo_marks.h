#pragma once
// Shows the marks of a memo (TMemo::marks, byte stretches of its GBK text) as
// a background colour in its editor. The colour is a format of the layout, not
// of the text: the text and whatever is copied from it stay plain.
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <string>
#include <utility>
#include <vector>

#include "app/controls.h"

class QPlainTextEdit;

namespace ui {

// The stretches `marks` of the GBK text `gbk` as positions in memoToQ(gbk).
std::vector<std::pair<int, int>> displaySpans(const std::string& gbk,
                                              const std::vector<TextSpan>& marks);

class MemoMarks : public QSyntaxHighlighter {
    Q_OBJECT
  public:
    // The memo must outlive the highlighter, which the editor's document owns.
    MemoMarks(TMemo& memo, QPlainTextEdit* editor);
    ~MemoMarks() override;

  protected:
    void highlightBlock(const QString& text) override;

  private:
    void marksChanged();
    void applyMarks();

    TMemo& m_memo;
    QTextCharFormat m_format;
    std::vector<std::pair<int, int>> m_spans; // [begin, end) in the editor's text
    bool m_pending = false;
};

} // namespace ui
