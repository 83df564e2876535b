#include "ui/binder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "ui/column_stretch.h"
#include "ui/list_view_model.h"
#include "ui/qt_text.h"

namespace ui {

namespace {
// Characters from which a paragraph of a memo keeps its layout.
constexpr int kLongParagraph = 4096;
// Milliseconds between two showings of a long memo's changing text, and the
// bytes from which a text is long.
constexpr qint64 kMemoRefresh = 200;
constexpr size_t kLongMemo = 64 * 1024;
// Runs `flush` before the user's input reaches a widget: a memo shows the
// model's latest text before the user edits it, or the edit, written back
// whole, would drop what the model gained meanwhile (a run's markers).
class BeforeInput : public QObject {
  public:
    BeforeInput(QObject* parent, std::function<void()> flush)
        : QObject(parent), m_flush(std::move(flush)) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::InputMethod:
        case QEvent::Drop:
        case QEvent::MouseButtonPress:
        case QEvent::ContextMenu:
            m_flush();
            break;
        default:
            break;
        }
        return false;
    }

  private:
    std::function<void()> m_flush;
};

} // namespace

Binder::~Binder() {
    for (Control* control : m_bound)
        control->setObserver({});
}

void Binder::runHandler(Handler handler) {
    TForm1* form = &m_form;
    form->run([form, handler] { (form->*handler)(); });
}

void Binder::watch(Control& control, QWidget* widget, std::function<void()> refresh) {
    widget->setObjectName(QString::fromStdString(control.name()));
    // Visibility is applied only when it changes: showing a widget that has no
    // parent yet would open it as a window of its own.
    auto shown = std::make_shared<bool>(true);
    auto focusSeen = std::make_shared<int>(control.focusRequests());
    Control* c = &control;
    auto update = [c, widget, refresh = std::move(refresh), shown, focusSeen] {
        if (refresh) refresh();
        if (*shown != c->visible()) {
            *shown = c->visible();
            widget->setVisible(*shown);
        }
        if (*focusSeen != c->focusRequests()) {
            *focusSeen = c->focusRequests();
            widget->setFocus();
        }
    };
    update();
    control.setObserver(update);
    m_bound.push_back(&control);
}

QLabel* Binder::label(TCaptioned& control, bool statusLine) {
    auto* w = new QLabel;
    // Status texts come from servers and files: never interpret them as markup.
    w->setTextFormat(Qt::PlainText);
    if (statusLine) w->setMinimumWidth(1);
    watch(control, w, [w, &control, statusLine] {
        const QString text = toQ(control.caption());
        w->setText(text);
        if (statusLine) w->setToolTip(text);
    });
    return w;
}

QLabel* Binder::link(TLinkLabel& control, Handler click) {
    auto* w = new QLabel;
    w->setTextFormat(Qt::RichText);
    w->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    watch(control, w, [w, &control] {
        w->setText(
            QStringLiteral("<a href=\"#\">%1</a>").arg(toQ(control.caption()).toHtmlEscaped()));
        w->setToolTip(toQ(control.address()));
    });
    QObject::connect(w, &QLabel::linkActivated, w, [this, click] { runHandler(click); });
    return w;
}

QPushButton* Binder::button(TButton& control, Handler click) {
    auto* w = new QPushButton;
    w->setAutoDefault(false);
    watch(control, w, [w, &control] { w->setText(toQ(control.caption())); });
    QObject::connect(w, &QPushButton::clicked, w, [this, click] { runHandler(click); });
    return w;
}

QCheckBox* Binder::check(TCheckBox& control, Handler click) {
    auto* w = new QCheckBox;
    watch(control, w, [w, &control] {
        const QSignalBlocker block(w);
        w->setText(toQ(control.caption()));
        w->setChecked(control.checked());
    });
    TForm1* form = &m_form;
    QObject::connect(w, &QCheckBox::clicked, w, [form, &control, click](bool checked) {
        form->run([&] {
            control.setChecked(checked);
            if (click) (form->*click)();
        });
    });
    return w;
}

QGroupBox* Binder::group(TGroupBox& control) {
    auto* w = new QGroupBox;
    watch(control, w, [w, &control] { w->setTitle(toQ(control.caption())); });
    return w;
}

QLineEdit* Binder::edit(TEdit& control) {
    auto* w = new QLineEdit;
    if (control.isPassword()) w->setEchoMode(QLineEdit::Password);
    // As in a memo: the user's own input, once in the model, is not given
    // back to the edit, which would move the cursor and drop the undo history.
    auto shown = std::make_shared<std::string>();
    watch(control, w, [w, &control, shown] {
        if (control.text() == *shown) return;
        *shown = control.text();
        const QString text = toQ(control.text());
        if (w->text() == text) return;
        const QSignalBlocker block(w);
        w->setText(text);
    });
    TForm1* form = &m_form;
    QObject::connect(w, &QLineEdit::textEdited, w, [form, &control, shown](const QString& text) {
        *shown = fromQ(text);
        form->run([&] { control.setText(*shown); });
    });
    return w;
}

QPlainTextEdit* Binder::memo(TMemo& control, bool bothScrollBars) {
    auto* w = new QPlainTextEdit;
    w->setReadOnly(control.readOnly());
    w->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (bothScrollBars) {
        w->setLineWrapMode(QPlainTextEdit::NoWrap);
        w->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    // Qt drops a paragraph's layout after laying it out, and the blinking
    // cursor then computes it anew, all of it, twice a second: a result of one
    // 5 MB paragraph kept a core busy while idle. Long paragraphs keep theirs.
    QObject::connect(w->document(), &QTextDocument::contentsChange, w,
                     [w](int from, int, int added) {
                         for (QTextBlock b = w->document()->findBlock(from);
                              b.isValid() && b.position() <= from + added; b = b.next())
                             if (b.length() >= kLongParagraph) b.layout()->setCacheEnabled(true);
                     });
    // A flow may rewrite a memo many times in one command (a batch marks its
    // list line by line); the editor shows the text as it stands once the
    // command yields to the event loop; a long text at most every
    // kMemoRefresh ms while changes keep coming, as each showing lays it all out.
    auto updating = std::make_shared<bool>(false);
    auto pending = std::make_shared<bool>(false);
    auto lastShown = std::make_shared<QElapsedTimer>();
    auto selectAllSeen = std::make_shared<int>(control.selectAllRequests());
    // The model text the editor's content stands for: what the user's last
    // edit wrote, or what the editor was last given. A model text equal to it
    // is already on screen. Giving the editor back its own edit would move
    // the cursor and drop the undo history whenever the round trip through
    // the model changes a character (a lone surrogate, a stray CR).
    auto shown = std::make_shared<std::string>();
    auto refresh = [w, &control, updating, pending, selectAllSeen, shown, lastShown,
                    bothScrollBars] {
        *pending = false;
        if (control.text() != *shown) {
            *shown = control.text();
            const QString text = memoToQ(control.text());
            if (w->toPlainText() != text) {
                *updating = true;
                // A list keeps the lines in view and the cursor's line and
                // column while a run marks it.
                const int top = w->verticalScrollBar()->value();
                const int left = w->horizontalScrollBar()->value();
                const QTextCursor cursor = w->textCursor();
                const int block = cursor.blockNumber();
                const int column = cursor.positionInBlock();
                w->setPlainText(text);
                if (bothScrollBars) {
                    const QTextBlock b = w->document()->findBlockByNumber(block);
                    if (b.isValid() && (block > 0 || column > 0)) {
                        QTextCursor place(w->document());
                        place.setPosition(b.position() + std::min(column, b.length() - 1));
                        w->setTextCursor(place);
                    }
                    w->verticalScrollBar()->setValue(top);
                    w->horizontalScrollBar()->setValue(left);
                }
                *updating = false;
                lastShown->start();
            }
        }
        // Selecting all comes after the text, which a new text would undo.
        if (*selectAllSeen != control.selectAllRequests()) {
            *selectAllSeen = control.selectAllRequests();
            w->selectAll();
        }
    };
    refresh();
    watch(control, w, [w, refresh, pending, lastShown, shown] {
        if (*pending) return;
        *pending = true;
        const qint64 since = lastShown->isValid() && shown->size() >= kLongMemo
                                 ? lastShown->elapsed()
                                 : kMemoRefresh;
        QTimer::singleShot(static_cast<int>(std::max<qint64>(0, kMemoRefresh - since)), w, refresh);
    });
    auto* beforeInput = new BeforeInput(w, [refresh, pending] {
        if (*pending) refresh();
    });
    w->installEventFilter(beforeInput);
    w->viewport()->installEventFilter(beforeInput);
    TForm1* form = &m_form;
    QObject::connect(w, &QPlainTextEdit::textChanged, w, [form, w, &control, updating, shown] {
        if (*updating) return;
        *shown = memoFromQ(w->toPlainText());
        form->run([&] { control.setText(*shown); });
    });
    return w;
}

QSpinBox* Binder::spin(TSpinEdit& control) {
    auto* w = new QSpinBox;
    w->setRange(INT_MIN, INT_MAX); // no limits of its own
    watch(control, w, [w, &control] {
        const QSignalBlocker block(w);
        w->setValue(static_cast<int>(std::lround(control.value())));
    });
    TForm1* form = &m_form;
    QObject::connect(w, &QSpinBox::valueChanged, w,
                     [form, &control](int value) { form->run([&] { control.setValue(value); }); });
    return w;
}

QSlider* Binder::slider(TSlider& control) {
    auto* w = new QSlider(Qt::Horizontal);
    watch(control, w, [w, &control] {
        const QSignalBlocker block(w);
        w->setRange(control.min(), control.max());
        w->setValue(control.position());
    });
    TForm1* form = &m_form;
    QObject::connect(w, &QSlider::valueChanged, w, [form, &control](int value) {
        form->run([&] { control.setPosition(value); });
    });
    return w;
}

QComboBox* Binder::combo(TComboBox& control) {
    auto* w = new QComboBox;
    watch(control, w, [w, &control] {
        const QSignalBlocker block(w);
        w->clear();
        for (const std::string& item : control.items())
            w->addItem(toQ(item));
        w->setCurrentIndex(control.itemIndex());
    });
    TForm1* form = &m_form;
    QObject::connect(w, &QComboBox::currentIndexChanged, w, [form, &control](int index) {
        if (index >= 0) form->run([&] { control.setItemIndex(index); });
    });
    return w;
}

QGroupBox* Binder::radio(TRadioGroup& control, Handler click) {
    auto* w = new QGroupBox;
    auto* grid = new QGridLayout(w);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(2);
    auto* buttons = new QButtonGroup(w);
    const int count = static_cast<int>(control.items().size());
    const int columns = std::max(1, control.columns());
    const int rows = (count + columns - 1) / columns;
    // Items run down the first column, then down the next.
    for (int i = 0; i < count; ++i) {
        auto* b = new QRadioButton(toQ(control.items()[static_cast<size_t>(i)]));
        buttons->addButton(b, i);
        grid->addWidget(b, i % std::max(1, rows), i / std::max(1, rows));
    }
    watch(control, w, [w, buttons, &control] {
        w->setTitle(toQ(control.caption()));
        const QSignalBlocker block(buttons);
        if (auto* b = buttons->button(control.itemIndex())) {
            b->setChecked(true);
        } else if (auto* checked = buttons->checkedButton()) {
            buttons->setExclusive(false);
            checked->setChecked(false);
            buttons->setExclusive(true);
        }
    });
    TForm1* form = &m_form;
    QObject::connect(buttons, &QButtonGroup::idClicked, w, [form, &control, click](int id) {
        if (id == control.itemIndex()) return;
        form->run([&] {
            control.setItemIndex(id);
            if (click) (form->*click)();
        });
    });
    return w;
}

QProgressBar* Binder::gauge(TGauge& control) {
    auto* w = new QProgressBar;
    w->setTextVisible(false);
    // The loader moves the gauge once per record, and the bar repaints at once
    // on every visible step; it follows the model on the next event pass.
    auto pending = std::make_shared<bool>(false);
    auto refresh = [w, &control, pending] {
        *pending = false;
        // An empty range would make Qt draw a busy indicator; the gauge stays empty.
        if (control.max() > control.min()) {
            w->setRange(control.min(), control.max());
            w->setValue(control.value());
        } else {
            w->setRange(0, 1);
            w->setValue(0);
        }
    };
    refresh();
    watch(control, w, [w, refresh, pending] {
        if (*pending) return;
        *pending = true;
        QTimer::singleShot(0, w, refresh);
    });
    return w;
}

QTabWidget* Binder::pages(TPageControl& control, const std::vector<QWidget*>& pages) {
    auto* w = new QTabWidget;
    for (size_t i = 0; i < pages.size(); ++i)
        w->addTab(pages[i], i < control.captions().size() ? toQ(control.captions()[i]) : QString());
    watch(control, w, [w, &control] {
        const QSignalBlocker block(w);
        w->setCurrentIndex(control.activePage());
    });
    TForm1* form = &m_form;
    QObject::connect(w, &QTabWidget::currentChanged, w, [form, &control](int index) {
        form->run([&] { control.setActivePage(index); });
    });
    return w;
}

QTableView* Binder::list(TListView& control, const TPopupMenu& menu, const MenuHandlers& handlers) {
    auto* view = new QTableView;
    auto* model = new ListViewModel(m_form, control, view);
    model->attachView(view);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setSortingEnabled(false);
    view->setWordWrap(false);
    view->setCornerButtonEnabled(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setSectionsClickable(false);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    const auto& columns = control.columns();
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].width > 0) view->setColumnWidth(static_cast<int>(i), columns[i].width);
    // Columns that stretch share the room a wider window gives the list.
    std::vector<int> widths;
    std::vector<bool> stretch;
    for (const ListColumn& c : columns) {
        widths.push_back(c.width > 0 ? c.width : view->horizontalHeader()->defaultSectionSize());
        stretch.push_back(c.stretch);
    }
    if (std::find(stretch.begin(), stretch.end(), true) != stretch.end())
        new ColumnStretch(view, std::move(widths), std::move(stretch));

    auto* popup = new QMenu(view);
    popup->setObjectName(QString::fromStdString(menu.name()));
    for (const auto& item : menu.items()) {
        QAction* action = popup->addAction(toQ(item.caption));
        action->setObjectName(QString::fromStdString(item.name));
        for (const auto& [name, handler] : handlers) {
            if (name != item.name) continue;
            QObject::connect(action, &QAction::triggered, view,
                             [this, h = handler] { runHandler(h); });
        }
    }
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        view, &QWidget::customContextMenuRequested, view,
        [view, popup](const QPoint& pos) { popup->popup(view->viewport()->mapToGlobal(pos)); });
    watch(control, view, {});
    return view;
}

QWebEngineView* Binder::web(TWebView& control) {
    auto* w = new QWebEngineView;
    auto loaded = std::make_shared<std::string>();
    watch(control, w, [w, &control, loaded] {
        if (control.url() == *loaded) return;
        *loaded = control.url();
        if (!loaded->empty()) w->load(QUrl(toQ(*loaded)));
    });
    return w;
}

} // namespace ui
