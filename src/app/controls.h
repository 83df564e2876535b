#pragma once
// The window model: every control as a plain object holding exactly the state
// the program reads and writes. A setter notifies one observer, which the Qt
// layer installs to repaint its widget; the Qt layer writes user input back
// through the same setters. All texts are GBK.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/stringlist.h"
#include "engine/text_span.h"

class Control {
  public:
    explicit Control(std::string name) : m_name(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return m_name; }
    bool visible() const { return m_visible; }
    void setVisible(bool v);
    // Asks the view to give this control the keyboard focus; the model counts
    // the requests so tests can see them.
    void setFocus();
    int focusRequests() const { return m_focusRequests; }
    void setObserver(std::function<void()> fn) { m_observer = std::move(fn); }

  protected:
    void changed() const {
        if (m_observer) m_observer();
    }

  private:
    std::string m_name;
    bool m_visible = true;
    int m_focusRequests = 0;
    std::function<void()> m_observer;
};

// Label, button, group box, check box and radio captions.
class TCaptioned : public Control {
  public:
    TCaptioned(std::string name, std::string caption)
        : Control(std::move(name)), m_caption(std::move(caption)) {}
    const std::string& caption() const { return m_caption; }
    void setCaption(std::string c);

  private:
    std::string m_caption;
};

using TLabel = TCaptioned;
using TButton = TCaptioned;
using TGroupBox = TCaptioned;

// A label that opens an address in the desktop shell when clicked.
class TLinkLabel : public TCaptioned {
  public:
    using TCaptioned::TCaptioned;
    const std::string& address() const { return m_address; }
    void setAddress(std::string a);

  private:
    std::string m_address;
};

class TCheckBox : public TCaptioned {
  public:
    TCheckBox(std::string name, std::string caption, bool checked)
        : TCaptioned(std::move(name), std::move(caption)), m_checked(checked) {}
    bool checked() const { return m_checked; }
    void setChecked(bool c);

  private:
    bool m_checked;
};

// Single-line edit (also the password edit, which the view masks).
class TEdit : public Control {
  public:
    TEdit(std::string name, std::string text = {}, bool password = false)
        : Control(std::move(name)), m_text(std::move(text)), m_password(password) {}
    const std::string& text() const { return m_text; }
    void setText(std::string t);
    bool isPassword() const { return m_password; }
    // Called after the text changed through setText (the edit's change event).
    std::function<void()> onChange;

  private:
    std::string m_text;
    bool m_password;
};

// Multi-line edit. The text keeps its line breaks as CR LF.
class TMemo : public Control {
  public:
    TMemo(std::string name, bool readOnly = false)
        : Control(std::move(name)), m_readOnly(readOnly) {}
    const std::string& text() const;
    void setText(std::string t);
    bool readOnly() const { return m_readOnly; }
    StringList lines() const { return linesOf(text()); }
    void setLines(const StringList& l) { setText(joinMemoLines(l)); }
    void clear() { setText({}); }
    // Asks the view to select the whole text; counted like focus requests.
    void selectAll();
    int selectAllRequests() const { return m_selectAllRequests; }
    // Lines joined with CR LF between them (a memo's text has no final break).
    static std::string joinMemoLines(const StringList& l);

    // Appends `s` to line `index` (lines cut at CR LF, CR or LF, as lines()
    // cuts them); false, and nothing changed, when the text has fewer lines.
    // A batch run marks thousands of lines one by one: the appends wait
    // beside the text and go into it when it is next read whole, so each
    // costs no more than its own bytes.
    bool appendToLine(int index, const std::string& s);
    // Line `index` with what was appended to it; false when there is none.
    bool line(int index, std::string& out) const;

    // Byte stretches of the text shown with a background colour; they belong
    // to the text they were set on, so any change of the text drops them.
    const std::vector<TextSpan>& marks() const { return m_marks; }
    void setMarks(std::vector<TextSpan> marks);
    // Called after the marks changed.
    std::function<void()> onMarksChange;

  private:
    void indexLines() const;
    void mergeAppends() const;

    mutable std::string m_text;
    // Where each line starts and ends (before its break), once asked for.
    mutable std::vector<std::pair<size_t, size_t>> m_lineSpans;
    mutable bool m_indexed = false;
    // Texts appended to lines and not yet merged, by line.
    mutable std::map<int, std::string> m_appends;
    bool m_readOnly;
    int m_selectAllRequests = 0;
    std::vector<TextSpan> m_marks;
};

class TSpinEdit : public Control {
  public:
    TSpinEdit(std::string name, double value) : Control(std::move(name)), m_value(value) {}
    double value() const { return m_value; }
    void setValue(double v);

  private:
    double m_value;
};

class TSlider : public Control {
  public:
    TSlider(std::string name, int min, int max, int pos)
        : Control(std::move(name)), m_min(min), m_max(max), m_pos(pos) {}
    int min() const { return m_min; }
    int max() const { return m_max; }
    int position() const { return m_pos; }
    void setPosition(int p); // clamped to the range
    // Called after the position changed through setPosition.
    std::function<void()> onChange;

  private:
    int m_min, m_max, m_pos;
};

class TGauge : public Control {
  public:
    TGauge(std::string name, int min, int max) : Control(std::move(name)), m_min(min), m_max(max) {}
    int min() const { return m_min; }
    int max() const { return m_max; }
    int value() const { return m_value; }
    void setMax(int m);
    void setValue(int v);

  private:
    int m_min, m_max, m_value = 0;
};

class TRadioGroup : public TCaptioned {
  public:
    TRadioGroup(std::string name, std::string caption, StringList items, int index, int columns)
        : TCaptioned(std::move(name), std::move(caption)), m_items(std::move(items)),
          m_index(index), m_columns(columns) {}
    const StringList& items() const { return m_items; }
    int itemIndex() const { return m_index; }
    void setItemIndex(int i);
    int columns() const { return m_columns; }

  private:
    StringList m_items;
    int m_index;
    int m_columns;
};

// A drop-down list: one of its items chosen (its caption is a label beside it).
class TComboBox : public Control {
  public:
    TComboBox(std::string name, StringList items, int index)
        : Control(std::move(name)), m_items(std::move(items)), m_index(index) {}
    const StringList& items() const { return m_items; }
    int itemIndex() const { return m_index; }
    void setItemIndex(int i);

  private:
    StringList m_items;
    int m_index;
};

struct ListColumn {
    std::string caption;
    int width; // pixels; 0 = the view's default
    bool centred;
    // The column takes its share of the room the view gains or loses with the
    // window (at least `width`); the others keep their width.
    bool stretch = false;
};

struct ListItem {
    std::string caption;
    StringList subItems;
    bool checked = false;
};

// What a list view tells its view; the Qt model turns these into row signals.
class ListViewObserver {
  public:
    virtual ~ListViewObserver() = default;
    virtual void rowsReset() = 0;
    virtual void rowsInserted(int first, int count) = 0;
    virtual void rowsRemoved(int first, int count) = 0;
    virtual void rowChanged(int row) = 0;
    virtual void selectionChanged(int row) = 0;
    virtual void scrolledTo(int row) = 0;
    virtual void focusRequested() = 0;
    virtual void repaint() = 0;
};

// Report-style list view with check boxes (unless told otherwise), grid lines
// and whole-row selection.
class TListView : public Control {
  public:
    TListView(std::string name, std::vector<ListColumn> columns, bool checkBoxes = true)
        : Control(std::move(name)), m_columns(std::move(columns)), m_checkBoxes(checkBoxes) {}

    const std::vector<ListColumn>& columns() const { return m_columns; }
    bool checkBoxes() const { return m_checkBoxes; }
    int count() const { return static_cast<int>(m_items.size()); }
    const ListItem& item(int i) const { return m_items.at(static_cast<size_t>(i)); }
    const std::vector<ListItem>& items() const { return m_items; }

    void clear();
    int append(ListItem item); // returns the new row's index
    // Inserts before `row` (count() appends); throws std::out_of_range for a bad row.
    void insert(int row, ListItem item);
    void remove(int row); // throws std::out_of_range for a bad row
    void setSubItem(int row, int sub, std::string text);
    void setChecked(int row, bool checked);
    void setAllChecked(bool checked);
    void repaint();

    int selected() const { return m_selected; } // -1 = none
    void setSelected(int row);
    void scrollIntoView(int row);
    int lastScrolledTo() const { return m_lastScrolled; }
    void setFocus();

    void setListObserver(ListViewObserver* o) { m_listObserver = o; }

  private:
    std::vector<ListColumn> m_columns;
    bool m_checkBoxes;
    std::vector<ListItem> m_items;
    int m_selected = -1;
    int m_lastScrolled = -1;
    ListViewObserver* m_listObserver = nullptr;
};

class TPopupMenu : public Control {
  public:
    struct Item {
        std::string name;
        std::string caption;
    };
    TPopupMenu(std::string name, std::vector<Item> items)
        : Control(std::move(name)), m_items(std::move(items)) {}
    const std::vector<Item>& items() const { return m_items; }

  private:
    std::vector<Item> m_items;
};

class TPageControl : public Control {
  public:
    TPageControl(std::string name, StringList captions, int active)
        : Control(std::move(name)), m_captions(std::move(captions)), m_active(active) {}
    const StringList& captions() const { return m_captions; }
    int activePage() const { return m_active; }
    void setActivePage(int i);

  private:
    StringList m_captions;
    int m_active;
};

// A web view: the model keeps the address it was told to load.
class TWebView : public Control {
  public:
    using Control::Control;
    const std::string& url() const { return m_url; }
    void navigate(std::string url);

  private:
    std::string m_url;
};

// Non-visual dialogs: their titles and filters as the window shows them.
struct TSaveDialog {
    std::string title;
    std::string filterName;
    std::string filterMask;
};
struct TOpenDialog {
    std::string title;
    std::string filterName;
    std::string filterMask;
};
struct TSelectDirDialog {
    std::string title;
    std::string initialDir;
};
