#pragma once
// TForm1, the main window of the program as a model: every control with the
// name the product gives it, the program-wide state, and the command handlers
// as member functions. Handlers are defined in the folder of their subsystem
// (engine/, thesaurus/, net/, batch/, app/); none of them needs Qt.
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/controls.h"
#include "app/platform.h"
#include "batch/job.h"
#include "engine/match_texts.h"
#include "engine/originality.h"
#include "engine/pipeline.h"
#include "engine/stringlist.h"
#include "html/page.h"
#include "net/request_kind.h"

class KeywordStore;
class ProtectedWordFinder;
class SynonymReplacer;
class TAes;
class THTTPGet;
class Tmyhttpget;

// The late-bound document of the banner view, as far as the banner handler
// touches it. The Qt layer implements it over the web view's page.
class BannerDocument {
  public:
    virtual ~BannerDocument() = default;
    virtual bool hasBody() const = 0;
    virtual void setBodyScroll(const std::string& value) = 0;      // body.scroll
    virtual void setBodyStyleMargin(const std::string& value) = 0; // body.style.margin
    virtual void setBodyStyleBorderWidth(int value) = 0;           // body.style.borderWidth
};

struct FormOptions {
    // Directory of the running executable, ending with the path separator.
    std::string programDir;
    // Seed of the shuffle's random generator; empty = from the system's entropy.
    std::optional<std::uint64_t> seed;
};

class TForm1 {
  public:
    TForm1(Platform& platform, FormOptions options);
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    Platform& platform() { return m_platform; }

    // Runs a command; a failure it does not catch is shown in the generic
    // error message box and the state stays as the command left it.
    void run(const std::function<void()>& command);

    // ---- captions of the application -------------------------------------
    static std::string applicationTitle();
    static std::string windowCaption();

    // ---- tool panel --------------------------------------------------------
    TCaptioned bsSkinPanel1{"bsSkinPanel1", ""};
    TButton bsSkinXFormButton2;
    TButton bsSkinXFormButton1;
    TButton bsSkinButton1;
    TCheckBox bschck4;
    TCheckBox bschck1;
    TLabel Label1{"Label1", ""};
    TGroupBox bskngrpbx1;
    TCheckBox bschck2;
    TCheckBox bschck3;
    TLabel lbl2;
    TSlider bsknsldr1{"bsknsldr1", 2, 30, 5};
    TLabel lbl26{"lbl26", "5"}; // the frequency the slider is at
    TLabel lbl1;
    TEdit edt1{"edt1"};
    TCheckBox bschck11;        // 标记替换词: show the replaced words of the new article
    TLabel lbl22{"lbl22", ""}; // 原创度 of the last rewrite
    TLabel lbl25;              // 网页：
    TComboBox cbb1;            // what becomes of an article that is a web page

    TWebView WebBrowser1{"WebBrowser1"};

    // ---- login group -------------------------------------------------------
    TGroupBox bskngrpbx2;
    TLabel lbl4;
    TEdit edt2{"edt2"};
    TLabel lbl5;
    TEdit bsknpswrdt1{"bsknpswrdt1", "", true};
    TButton btn3;
    TCheckBox bschck5;
    TLinkLabel lbl6;
    TLinkLabel lbl7;
    TLabel lbl8;

    // ---- pages -------------------------------------------------------------
    TPageControl bsSkinPageControl1;
    TMemo Memo1{"Memo1"};
    TMemo Memo2{"Memo2"};

    // page 2, thesaurus management
    TLabel bsSkinStdLabel2;
    TEdit bsSkinEdit1{"bsSkinEdit1"};
    TLabel bsSkinStdLabel3;
    TEdit bsSkinEdit2{"bsSkinEdit2"};
    TCheckBox bsSkinCheckRadioBox2;
    TCheckBox bschck10;
    TButton bsSkinXFormButton3;
    TButton bsSkinXFormButton5;
    TEdit bsSkinEdit3{"bsSkinEdit3"};
    TButton bsSkinXFormButton6;
    TButton bsSkinXFormButton4;
    TButton btn6;
    TButton btn20; // 导入词库
    TButton btn8;
    TCheckBox bschck7;
    TLabel bsSkinStdLabel1;
    TLabel lbl9;
    TLabel lbl11;
    TListView listview1;
    TPopupMenu bsSkinPopupMenu2;
    // protected words and the thesaurus check, below the thesaurus
    TGroupBox bskngrpbx7; // 保护词
    TEdit edt9{"edt9"};
    TButton btn16;        // 添加
    TButton btn17;        // 删除
    TListView lv3;        // the protected words
    TGroupBox bskngrpbx8; // 词库体检
    TButton btn15;        // 词库体检
    TLabel lbl24;         // hint
    TListView lv4;        // the findings

    // page 3, shared thesaurus
    TButton btn1;
    TButton btn4;
    TButton btn5;
    TSpinEdit bsknspndt1{"bsknspndt1", 1};
    TButton btn7;
    TLabel lbl10;
    TButton btn2;
    TCheckBox bschck6;
    TLabel lbl3;
    TListView lv2;
    TPopupMenu bsknpmn1;

    // page 4, batch
    TGroupBox bskngrpbx6;
    TGroupBox bskngrpbx5;
    TGroupBox bskngrpbx4;
    TLabel lbl15;
    TEdit edt5{"edt5"};
    TLabel lbl16;
    TEdit edt6{"edt6", "1"};
    TLabel lbl13;
    TEdit edt7{"edt7", "100"};
    TCheckBox bschck8;
    TCheckBox bschck9;
    TLabel lbl14;
    TButton btn14;
    TButton btn12;
    TMemo mmo2{"mmo2"};
    TEdit edt3{"edt3"};
    TButton btn9;
    TLabel lbl12;
    TMemo mmo1{"mmo1", true};
    TLabel lbl17;
    TEdit edt4{"edt4"};
    TButton btn10;
    TLinkLabel lbl20;
    TLabel lbl18;
    TEdit edt8{"edt8"};
    TButton btn13;
    TLinkLabel lbl21;
    TRadioGroup bsknrdgrp2;
    TRadioGroup bsknrdgrp3;
    TRadioGroup bsknrdgrp1;
    TButton btn11;
    TLabel lbl19{"lbl19", ""};
    TLabel lbl23{"lbl23", ""}; // average 原创度 of the last batch run
    TButton btn18;             // 停止: ends the batch run
    TButton btn19;             // 重试失败项: runs again what the last run left undone
    TListView lv5;             // the items of the last run that failed, with the reason
    TLabel lbl27;              // 网页：
    TComboBox cbb2;            // what becomes of a batch item that is a web page

    // page 5, help
    TWebView wb1{"wb1"};

    TGauge bsSkinGauge1{"bsSkinGauge1", 0, 100};

    // non-visual components
    TSaveDialog save1;
    TOpenDialog open1; // the pair list to import
    TSelectDirDialog bsSelDir1;

    // ---- program-wide state ------------------------------------------------
    StringList OriginalWords;
    StringList NewWords;
    StringList ProtectedWords; // in the order they were added
    // The shuffle's random generator, seeded once, and its match list.
    engine::RewriteState m_rewriteState;
    engine::MatchTexts& MatchList = m_rewriteState.matchList;
    StringList ConfigLines;
    std::unique_ptr<TAes> Cipher;
    std::string UserId;
    // The login token of the last accepted login (its fourth field), sent back
    // with every points and share request; empty when there is none.
    std::string LoginToken;
    bool ThesaurusLoaded = false;
    bool LoggedIn = false;
    std::string CurrentPage = "1";
    std::string PageCount = "0";
    int PostedCount = 0;
    int BatchTotal = 0;

    // The window's size as the view last reported it (0: never reported);
    // kept between runs with the window settings.
    int WindowWidth = 0;
    int WindowHeight = 0;

    // Edit state of the thesaurus management page.
    std::string EditingId = "0";
    int EditingIndex = 0;

    // The thesaurus database (setting.dat), open after start-up.
    std::unique_ptr<KeywordStore> Database;
    // Request objects owned by the window until their completion releases them.
    std::list<std::unique_ptr<Tmyhttpget>> Requests;
    std::mt19937_64& Random = m_rewriteState.random;

    // ---- application shell (app/) -------------------------------------------
    std::string ProgramDir() const { return m_options.programDir; }
    // config.txt: beside the executable, or in the user's configuration
    // folder when the program's folder cannot be written (chosen at start-up).
    std::string configPath() const;
    void FormCreate();
    void readConfigAtStartup();
    void writeConfig();
    // The window settings (batch page, tool panel, window size, page shown),
    // kept between runs in a file of their own beside config.txt.
    std::string windowSettingsPath() const;
    // Start-up: puts back what the file holds. Returns a note for the tool
    // panel when the file was damaged (and set aside), else nothing.
    std::string readWindowSettings();
    // Writes the file when a kept value differs from what it holds; cheap
    // when nothing changed, so the view may call it often. Nothing is written
    // before readWindowSettings ran.
    void saveWindowSettings();
    void bsSkinButton1Click();      // 清空
    void bsSkinXFormButton1Click(); // 复制新文章
    void WebBrowser1DocumentComplete(BannerDocument& document);
    void linkLabelClick(const TLinkLabel& label);
    void lbl6Click() { linkLabelClick(lbl6); }
    void lbl7Click() { linkLabelClick(lbl7); }
    void lbl20Click() { linkLabelClick(lbl20); }
    void lbl21Click() { linkLabelClick(lbl21); }

    // ---- thesaurus loading (thesaurus/) -------------------------------------
    std::string openDatabase(); // start-up step 8: a first start's status note; throws
    void loadDB();
    void bsSkinXFormButton4Click(); // 加载词库

    // ---- rewriting engine (engine/) -----------------------------------------
    StringList ExprTest(const std::string& pattern, const std::string& text);
    std::string TongYiCi(const std::string& text);
    std::string daluan(const std::string& text);
    std::string rewrite(const std::string& text); // the two steps the switches select
    void bsSkinXFormButton2Click();               // 生成原创
    void bschck11Click();                         // 标记替换词
    // The rewrite as the tool panel's switches, keyword and frequency set it.
    engine::RewriteSettings rewriteSettings() const;
    // The choice "网页" of cbb1 or cbb2: 保留网页, 提取正文, 当作文本.
    static html::Mode htmlMode(const TComboBox& choice);
    // The thesaurus lists and protected words as they are now, made into a
    // fixed snapshot (a new one only when they changed). `thorough` compares
    // the whole lists; without it only their lengths and the load's mark are
    // checked (for callers that ask for every article of a run).
    std::shared_ptr<const engine::Thesaurus> thesaurusNow(bool thorough = true);
    engine::Pipeline pipelineNow(bool thorough = true);
    // Batch runs: the originality of each article of a run, averaged on lbl23
    // at its end.
    void batchOriginalityStart();
    void batchOriginalityAdd(const std::string& source, const std::string& result);
    void batchOriginalityShow();

    // ---- local thesaurus (thesaurus/) ----------------------------------------
    void addKeyWord(const std::string& ow, const std::string& nw, bool isused,
                    const std::string& mode);
    void EditKeyWord(int index, const std::string& id, const std::string& ow, const std::string& nw,
                     bool isused);
    void DeleteKeyWord(int index, const std::string& id);
    void IsusedKeyWord(int index, const std::string& id);
    void N1Click();                             // 修改
    void N2Click();                             // 删除
    void N3Click();                             // 使用？
    void bsSkinXFormButton3Click();             // 新增 / 修改
    void bsSkinXFormButton5Click();             // 取消修改
    void bsSkinXFormButton6Click();             // 查找
    void bschck7Click();                        // 全选
    void btn6Click();                           // 导出选中词库
    void btn20Click();                          // 导入词库
    void loadProtectedWords();                  // from setting.dat into ProtectedWords and lv3
    void btn16Click();                          // 添加 (protected word)
    void btn17Click();                          // 删除 (protected word)
    void btn15Click();                          // 词库体检
    void lv4SelectItem();                       // a finding chosen: select its pair's row
    void dropFindingsOf(const std::string& id); // the pair changed: its findings are stale

    // ---- network (net/) -------------------------------------------------------
    void gotourl(const std::string& address, const std::string& kind, std::int32_t listIndex);
    // listIndex: the batch item a submission belongs to (batch runs set it).
    void gotourlPost(const std::string& address, const std::string& kind, const std::string& body,
                     std::int32_t listIndex = 0);
    void getstr(THTTPGet* sender, const std::string& result);
    void geterror(THTTPGet* sender);
    // The cipher object of the program (made here if a flow runs before start-up).
    TAes& cipher();
    void btn3Click(); // 登  录
    void loginAnswer(Tmyhttpget& request, const std::string& text);
    void loginError(Tmyhttpget& request);
    // The login strip shows the balance an answer reported.
    void showPoints(const std::string& balance);
    void getcontentAnswer(Tmyhttpget& request, const std::string& body); // the page as received
    void PostSendAnswer(Tmyhttpget& request, const std::string& text);
    void getcontentError(Tmyhttpget& request); // a fetch of a batch run failed
    void PostSendError(Tmyhttpget& request);   // a submission failed
    // shared thesaurus page (net/shared_thesaurus.cpp, net/download_words.cpp)
    void btn1Click();    // 浏览词库（不扣分）
    void btn4Click();    // 上一页
    void btn5Click();    // 下一页
    void btn7Click();    // 跳至
    void bschck6Click(); // 全选
    void loadtycAnswer(Tmyhttpget& request, const std::string& text);
    void N4Click();   // 添加到我的词库
    void N5Click();   // 全部加入词库
    void N7Click();   // 将所有勾选加入词库
    void btn2Click(); // 全部加入本地词库
    void sendPointsRequest(const std::string& ow, const std::string& nw);
    void addwordAnswer(Tmyhttpget& request, const std::string& text);
    // sharing from the management page (net/sharing.cpp)
    void N6Click();   // 共享它
    void btn8Click(); // 共享选中的
    void sendShareRequest(const std::string& ow, const std::string& nw);
    void sendkeywordsAnswer(Tmyhttpget& request, const std::string& text);

    // ---- batch (batch/) ---------------------------------------------------------
    void btn11Click(); // 批量伪原创
    void btn18Click(); // 停止
    void btn19Click(); // 重试失败项
    // The list index of "测试提交": no item of a run.
    static constexpr std::int32_t kTestSubmission = -1;
    void btn12Click();
    void btn14Click();
    void btn9Click();
    void btn10Click();
    void btn13Click();
    void edt4Change();
    void edt8Change();
    void bsknrdgrp2Click();
    void bsknrdgrp1Click();

  private:
    Platform& m_platform;
    // Makes, owns and starts a request of the kind (the launchers' common part).
    void launch(net::RequestKind kind, const std::string& address, const std::string& body,
                std::int32_t listIndex);
    FormOptions m_options;
    std::string m_configPath; // empty until start-up chose it
    // Logins asked to save their account and password, by request address:
    // config.txt takes them only once the server has accepted them.
    struct LoginToSave {
        std::string address, account, password;
    };
    std::vector<LoginToSave> m_loginsToSave;
    // The account and password of the login sent to `address`, if they were
    // to be saved; the note goes either way.
    std::optional<std::pair<std::string, std::string>> takeLoginToSave(const std::string& address);
    // The window settings as the file holds them (or would, when it does not
    // exist); empty before start-up read them.
    std::optional<std::string> m_savedSettings;
    std::string m_settingsWriteFailure; // the last failure noted, not noted again
    // Index over OriginalWords/NewWords; replaced, never changed, when the
    // lists change, so a holder of the old one keeps a whole index.
    std::shared_ptr<const SynonymReplacer> m_synonyms;
    bool m_synonymsDirty = true;
    size_t m_synonymsSizes = 0; // OriginalWords.size() + NewWords.size() it was built from
    // Indexes over ProtectedWords, made anew when the words change, so a
    // holder of one (a batch run on worker threads) keeps a fixed list.
    std::shared_ptr<const ProtectedWordFinder> m_protect;
    std::shared_ptr<const ProtectedWordFinder> m_protectShuffle; // words holding a delimiter
    std::shared_ptr<const engine::Thesaurus> m_thesaurus;        // the two above together
    // The marks of the last rewrite and the text they belong to, for bschck11.
    std::vector<TextSpan> m_newArticleMarks;
    std::string m_markedArticle;
    engine::OriginalityTally m_batchOriginality;
    // Set while btn11Click runs: a run lets events through between its items,
    // and a second press meanwhile is refused.
    bool m_batchRunning = false;
    // When a press was refused; the run leaves that message up for a while.
    std::chrono::steady_clock::time_point m_batchRefusedAt;
    // A run over all items, or over those `include` accepts (a retry).
    void downloadListRun(std::function<bool(const batch::Item&)> include);
    void localDirectoryRun(std::function<bool(const batch::Item&)> include);
    // Refuses a run while logged out or while one is going; true when refused.
    bool batchRefused();
    // Makes the target folder when the results go to files; false, with the
    // reason on the status, when it cannot be made.
    bool makeTargetFolder();
    void startBatchRun();
    void batchItemFailed(const batch::Event& e);
    void batchRunFinished();
    // A folder run's lines by file name, and how many files it has finished.
    std::unordered_map<std::string, int> m_folderLineOf;
    int m_folderDone = 0;
    // The job of the last run, which the answers of its requests go to.
    std::shared_ptr<batch::Job> m_batchJob;
    // The file names of a folder run with the markers it gave them so far.
    StringList m_folderLines;
    batch::JobSettings batchSettings() const;
    std::shared_ptr<batch::Job> makeBatchJob(batch::JobSettings settings);
    batch::Job& answeringJob();
    void listRunEvent(const batch::Event& e);
    void folderRunEvent(const batch::Event& e);
    int m_loadGeneration = 0; // bumped by every loadDB; an interrupted load stops
};
