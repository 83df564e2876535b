#include "app/Unit1.h"

#include <exception>

#include "engine/protected_words.h"
#include "engine/synonyms.h"
#include "net/HTTPGet.h"
#include "net/vendor.h"
#include "protocol/UnitAES.h"
#include "protocol/codepage.h"
#include "thesaurus/db_failure.h"
#include "thesaurus/keyword_store.h"

using cp::G;

namespace {
// The four columns fit the list at the window's default size, beside its
// vertical scroll bar: "是" or "否" needs less than a six-digit id. The two
// word columns share what a wider window adds.
std::vector<ListColumn> thesaurusColumns(const char* first, int firstWidth) {
    return {{G(first), firstWidth, false},
            {G("原始词"), 300, true, true},
            {G("新词"), 300, true, true},
            {G("是否使用"), 120, true}};
}

// The items of the choice "网页", in the order of html::Mode.
StringList htmlChoices() {
    return {G("保留网页"), G("提取正文"), G("当作文本")};
}
} // namespace

std::string TForm1::applicationTitle() {
    return G("澄川鹭同义词替换(伪原创)工具V1.1");
}

std::string TForm1::windowCaption() {
    return G("澄川鹭同义词替换(伪原创)工具V2.0，加入词库共享、（本地、网络）批量伪原创。");
}

TForm1::TForm1(Platform& platform, FormOptions options)
    : bsSkinXFormButton2("bsSkinXFormButton2", G("生成原创")),
      bsSkinXFormButton1("bsSkinXFormButton1", G("复制新文章")),
      bsSkinButton1("bsSkinButton1", G("清空")), bschck4("bschck4", G("1.同义词"), true),
      bschck1("bschck1", G("2.打乱文章"), false), bskngrpbx1("bskngrpbx1", G("打乱选项")),
      bschck2("bschck2", G("清除换行"), false), bschck3("bschck3", G("清除空格"), true),
      lbl2("lbl2", G("词频：")), lbl1("lbl1", G("加入关键词")),
      bschck11("bschck11", G("标记替换词"), true), lbl25("lbl25", G("网页：")),
      cbb1("cbb1", htmlChoices(), 0), bskngrpbx2("bskngrpbx2", G("用户登录")),
      lbl4("lbl4", G("用户：")), lbl5("lbl5", G("密码：")), btn3("btn3", G("登  录")),
      bschck5("bschck5", G("保存账号密码"), true), lbl6("lbl6", G("免费注册")),
      lbl7("lbl7", G("找回密码")), lbl8("lbl8", G("未登录")),
      bsSkinPageControl1("bsSkinPageControl1",
                         {G("　旧文章　"), G("　新文章　"), G(" 管理词库 "), G(" 词库下载 "),
                          G("批量伪原创"), G(" 帮助文档 ")},
                         2),
      bsSkinStdLabel2("bsSkinStdLabel2", G("原始词：")),
      bsSkinStdLabel3("bsSkinStdLabel3", G("新词：")),
      bsSkinCheckRadioBox2("bsSkinCheckRadioBox2", G("使用"), true),
      bschck10("bschck10", G("共享"), true), bsSkinXFormButton3("bsSkinXFormButton3", G("新增")),
      bsSkinXFormButton5("bsSkinXFormButton5", G("取消修改")),
      bsSkinXFormButton6("bsSkinXFormButton6", G("查找")),
      bsSkinXFormButton4("bsSkinXFormButton4", G("加载词库")), btn6("btn6", G("导出选中词库")),
      btn20("btn20", G("导入词库")), btn8("btn8", G("共享选中的")),
      bschck7("bschck7", G("全选"), false),
      bsSkinStdLabel1("bsSkinStdLabel1", G("修改过词库后，如需使用同义词，请重新加载词库。")),
      lbl9("lbl9", G("在下面的词库中右键可以共享词库到网络。每共享一个词被收录后可以下载10个词。")),
      lbl11("lbl11", G("一次最多导出100条、共享10条。")),
      listview1("listview1", thesaurusColumns("编号", 88)),
      bsSkinPopupMenu2(
          "bsSkinPopupMenu2",
          {{"N1", G("修改")}, {"N2", G("删除")}, {"N3", G("使用？")}, {"N6", G("共享它")}}),
      bskngrpbx7("bskngrpbx7", G("保护词")), btn16("btn16", G("添加")), btn17("btn17", G("删除")),
      lv3("lv3", {{G("保护词（替换时不会改动）"), 0, false}}, false),
      bskngrpbx8("bskngrpbx8", G("词库体检")), btn15("btn15", G("词库体检")),
      lbl24("lbl24", G("检查启用的词对互相冲突的地方，点选一条可定位到词对。")),
      lv4("lv4", {{G("问题"), 90, false}, {G("编号"), 110, false}, {G("词对"), 0, false}}, false),
      btn1("btn1", G("浏览词库（不扣分）")), btn4("btn4", G("上一页")), btn5("btn5", G("下一页")),
      btn7("btn7", G("跳至")), lbl10("lbl10", G("共1页，当前第1页")),
      btn2("btn2", G("全部加入本地词库")), bschck6("bschck6", G("全选"), false),
      lbl3("lbl3", G("下载网络词库，需要积分，共享1个词，可以下载10个词。")),
      // Network numbers of six digits show whole beside the check box; the
      // sharer's id, five digits, needs less than its 150.
      lv2("lv2", {{G("网络编号"), 88, false},
                  {G("原始词"), 300, true, true},
                  {G("新词"), 300, true, true},
                  {G("共享人ID"), 122, true}}),
      bsknpmn1("bsknpmn1", {{"N4", G("添加到我的词库")},
                            {"N5", G("全部加入词库")},
                            {"N7", G("将所有勾选加入词库")}}),
      bskngrpbx6("bskngrpbx6", G("网络下载列表")), bskngrpbx5("bskngrpbx5", G("本地源目录")),
      bskngrpbx4("bskngrpbx4", G("数据提交设置")), lbl15("lbl15", G("批量生成地址：")),
      edt5("edt5", vendor::address(vendor::kGetTestPattern)), lbl16("lbl16", G("ID从")),
      lbl13("lbl13", G("至")), bschck8("bschck8", G("补零"), false),
      bschck9("bschck9", G("清空旧列表"), false), lbl14("lbl14", G("通配符为(*)")),
      btn14("btn14", G("清空")), btn12("btn12", G("生成")), btn9("btn9", G("选择源目录")),
      lbl12("lbl12", G("所有【源目录】内的.txt文件内容将经过伪原创处理。")),
      lbl17("lbl17", G("保存到本地：")), btn10("btn10", G("选择目标目录")),
      lbl20("lbl20", G("打开目录")), lbl18("lbl18", G("网络提交地址：")),
      edt8("edt8", vendor::address(vendor::kPostTest)), btn13("btn13", G("测试提交")),
      lbl21("lbl21", G("打开网址")),
      bsknrdgrp2("bsknrdgrp2", G("源"), {G("本地源目录"), G("网络下载列表")}, 0, 2),
      bsknrdgrp3("bsknrdgrp3", G("目标"), {G("保存到本地"), G("提交到网络")}, 0, 2),
      bsknrdgrp1("bsknrdgrp1", G("唯一标识（ID）提交设置"),
                 {G("URL地址作为ID(网络)"), G("列表编号作为ID(通用)"), G("本地文件名作为ID(本地)")},
                 2, 1),
      btn11("btn11", G("批量伪原创")), btn18("btn18", G("停止")), btn19("btn19", G("重试失败项")),
      lv5("lv5", {{G("失败项"), 300, false}, {G("原因"), 0, false}}, false), lbl27("lbl27", G("网页：")),
      cbb2("cbb2", htmlChoices(), 0), save1{G("导出同义词为文本"), G("文本文件"), "*.TXT"},
      open1{G("导入同义词文本"), G("文本文件"), "*.txt *.TXT"}, bsSelDir1{G("选择源目录"), ""},
      m_platform(platform), m_options(std::move(options)) {
    bsSkinXFormButton5.setVisible(false);
    lv5.setVisible(false); // shown when a run has failures
    lbl6.setAddress(vendor::address(vendor::kRegister));
    lbl7.setAddress(vendor::address(vendor::kFindPassword));
    lbl21.setAddress(edt8.text());
    // The two link labels of the batch page follow their edits.
    edt4.onChange = [this] { run([this] { edt4Change(); }); };
    edt8.onChange = [this] { run([this] { edt8Change(); }); };
    m_rewriteState.reseed(m_options.seed);
    // The slider's number beside it, wherever the position comes from.
    bsknsldr1.onChange = [this] { lbl26.setCaption(std::to_string(bsknsldr1.position())); };
    lbl26.setCaption(std::to_string(bsknsldr1.position()));
}

TForm1::~TForm1() = default;

void TForm1::run(const std::function<void()>& command) {
    try {
        command();
    } catch (const DbError& e) {
        m_platform.showError(dbFailureText(e));
    } catch (const std::exception& e) {
        m_platform.showError(e.what());
    } catch (...) {
        m_platform.showError(G("未知错误"));
    }
}
