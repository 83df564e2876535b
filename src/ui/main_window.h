#pragma once
// The main window: draws the window model TForm1 and forwards user input to
// it. From top to bottom: the tool panel, a spacer, the banner view, the login
// group, the six pages and the progress gauge.
#include <QWidget>

#include "app/Unit1.h"
#include "ui/binder.h"

class QWebEngineView;

namespace ui {

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 844;
    static constexpr int kClientHeight = 644;
    static constexpr int kToolPanelHeight = 89;
    static constexpr int kSpacerHeight = 8;
    static constexpr int kBannerHeight = 62;
    static constexpr int kLoginHeight = 60;
    static constexpr int kGaugeHeight = 20;
    // Milliseconds between two checks whether the kept settings changed.
    static constexpr int kSaveInterval = 3000;

    // The form must outlive the window.
    explicit MainWindow(TForm1& form, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Takes the size the model kept from the last run, if any (after start-up).
    void restoreSize();
    // Places the window, at its size, in the middle of the screen it is on.
    void centreOnScreen();
    // Writes the model's kept settings if they changed.
    void saveSettings();

  protected:
    // The model keeps the window's size with its settings.
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* buildToolPanel();
    QWidget* buildLoginGroup();
    QWidget* buildArticlePage(TMemo& memo);
    QWidget* buildThesaurusPage();
    QWidget* buildThesaurusTools(); // protected words and the thesaurus check
    QWidget* buildDownloadPage();
    QWidget* buildBatchPage();
    QWidget* buildHelpPage();
    void bannerLoaded();

    TForm1& m_form;
    Binder m_bind;
    QWebEngineView* m_banner = nullptr;
};

} // namespace ui
