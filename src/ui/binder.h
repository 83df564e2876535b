#pragma once
// Creates the Qt widget for a control of the window model and binds the two
// both ways: the control's observer refreshes the widget (text, state,
// visibility, focus requests), and the user's input goes back through the
// control's setters. Clicks run the form's handler through TForm1::run, the
// one place that reports a failure a command did not catch.
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "app/Unit1.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableView;
class QWebEngineView;
class QWidget;

namespace ui {

using Handler = void (TForm1::*)();
// Popup-menu item name ("N1") and the handler it runs.
using MenuHandlers = std::vector<std::pair<std::string, Handler>>;

class Binder {
  public:
    explicit Binder(TForm1& form) : m_form(form) {}
    // Detaches every observer, so the model never calls into a destroyed widget.
    ~Binder();
    Binder(const Binder&) = delete;
    Binder& operator=(const Binder&) = delete;

    // A status label (statusLine) may be cut off by the window's width; its
    // full text is then in the tool tip.
    QLabel* label(TCaptioned& control, bool statusLine = false);
    QLabel* link(TLinkLabel& control, Handler click);
    QPushButton* button(TButton& control, Handler click);
    // A check box with a handler gets its new state first, then the handler.
    QCheckBox* check(TCheckBox& control, Handler click = nullptr);
    QGroupBox* group(TGroupBox& control);
    QLineEdit* edit(TEdit& control);
    QPlainTextEdit* memo(TMemo& control, bool bothScrollBars);
    QSpinBox* spin(TSpinEdit& control);
    QSlider* slider(TSlider& control);
    // The handler runs after the user has changed the selected item.
    QGroupBox* radio(TRadioGroup& control, Handler click = nullptr);
    QComboBox* combo(TComboBox& control);
    QProgressBar* gauge(TGauge& control);
    // The tabs are added with their captions; pages[i] is the page at index i.
    QTabWidget* pages(TPageControl& control, const std::vector<QWidget*>& pages);
    QTableView* list(TListView& control, const TPopupMenu& menu, const MenuHandlers& handlers);
    QWebEngineView* web(TWebView& control);

    TForm1& form() { return m_form; }
    void runHandler(Handler handler);

  private:
    // Names the widget after the control, installs the observer and applies
    // the model's state once.
    void watch(Control& control, QWidget* widget, std::function<void()> refresh);

    TForm1& m_form;
    std::vector<Control*> m_bound;
};

// A list view without a popup menu whose last column takes the rest of the width.
QTableView* plainList(Binder& bind, TListView& list);

} // namespace ui
