#!/usr/bin/env python3
"""Builds the gold set of web pages for bench_extract.

Every page is made here from the team's prose corpus (bench/corpus) and the
captions, headlines, comments and menus written below, in the shapes of
common Chinese sites: portal news, an old table-laid news site, a blog, a
forum thread, a wiki, documentation, a news page under heavy comments, a
listing page with no article, a mobile news page, an official-account style
article and a government notice. Each page NN-layout.html comes with
NN-layout.txt, the article as a reader should get it (UTF-8: the title, an
empty line, one paragraph a line; empty for a page with no article).

Run it from anywhere; it rewrites the files beside it. The output is fixed
by the seed, so the set only changes when this script does.
"""
import html
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, '..', 'corpus')
TOPICS = ['news', 'life', 'business', 'health', 'tech', 'education', 'travel', 'culture',
          'sport', 'environment', 'food', 'public']

TITLES = {
    'news': ['快速路二期即将完工 新区到火车站只需二十分钟', '寒潮来袭本市明起大幅降温 部分地区有小到中雪',
             '老旧小区改造进入新阶段 居民参与方案讨论', '地铁新线开通首周客流平稳 换乘指引仍待完善'],
    'life': ['周末带孩子去哪儿？几个不花钱的好去处', '家里收纳总是乱糟糟，这几个习惯要改一改',
             '和父母同住的第三年，我学会了好好说话', '年轻人为什么开始重新学做饭'],
    'business': ['一季度本地消费市场回暖 餐饮零售双双增长', '小微企业贷款难题如何破解',
                 '直播带货退货率偏高 商家开始算细账', '老字号转型线上 销售额翻了一番'],
    'health': ['春季过敏高发 医生教你几招轻松应对', '久坐办公族要当心颈椎问题',
               '体检报告上的箭头到底要不要紧', '睡不好觉？先从这几个小习惯改起'],
    'tech': ['国产轻薄笔记本两周使用体验', '手机存储空间总是不够用怎么办',
             '人工智能写作工具普及 我们该如何看待', '家里无线网络时好时坏的几种解决办法'],
    'education': ['新学期课后服务全面铺开 家长反映如何', '高考志愿填报前需要想清楚的几件事',
                  '乡村学校迎来一批年轻教师', '孩子写作业拖拉，家长可以这样做'],
    'travel': ['古镇慢游攻略：两天一夜怎么安排', '自驾环湖线路推荐及注意事项',
               '淡季出游性价比高 这些地方值得一去', '第一次带老人出国旅行的经验分享'],
    'culture': ['市博物馆新展开幕 百件文物首次集中亮相', '一部慢节奏纪录片为何走红',
                '地方戏曲走进校园 孩子们学得有模有样', '城市书房成了年轻人的新去处'],
    'sport': ['城市马拉松报名火爆 名额两小时抢光', '社区篮球联赛落幕 业余球员也有高光时刻',
              '跑步入门：新手最容易犯的几个错误', '全民健身设施进公园 晨练市民点赞'],
    'environment': ['湿地公园恢复成效明显 候鸟数量逐年增加', '垃圾分类新规实施一年效果如何',
                    '农田节水灌溉技术推广 亩均用水下降三成', '城市绿道串起滨河风景线'],
    'food': ['家常红烧肉怎么做才不腻', '秋天到了，来一锅暖胃的菌菇汤',
             '街角小面馆的二十年', '自制酸奶失败的常见原因'],
    'public': ['关于开展城乡居民医保集中参保工作的通知', '关于进一步规范住宅小区停车管理的通告',
               '我市启动冬季供暖准备工作', '关于公开征求养老服务条例修订意见的公告'],
}

SITE_NAMES = ['城市在线', '晨报网', '新视点资讯', '今日看点', '百家生活网', '星河门户']
CHANNELS = ['首页', '新闻', '国内', '国际', '财经', '科技', '体育', '娱乐', '汽车', '房产', '教育',
            '健康', '旅游', '美食', '文化', '视频', '图片', '评论', '专题', '地方']
FOOT_LINKS = ['关于我们', '联系我们', '广告服务', '招聘信息', '网站地图', '隐私政策', '意见反馈', '帮助中心']
COMMENTS = [
    '这条路修了好几年了，终于快通车了，以后上班能省不少时间。',
    '说得有道理，不过具体执行的时候还要看各个部门能不能配合好。',
    '我家附近就是这样的情况，希望有关部门能早点解决，不要一拖再拖。',
    '写得很实在，收藏了，回头慢慢照着试一试。',
    '楼上说的对，关键还是要落实到位，光说不做没有用。',
    '去年我也遇到过类似的问题，后来是找社区帮忙才处理好的，大家可以参考一下。',
    '支持一下，这种接地气的报道多来一点。',
    '有没有人知道具体在哪里报名？官网上没找到入口。',
    '价格还是有点贵，普通家庭负担不起，希望以后能降下来。',
    '看完很有感触，想起了小时候在老家的日子。',
    '作者辛苦了，内容很详细，比很多营销号靠谱多了。',
    '建议再多写一点注意事项，新手看了还是有点不放心。',
    '这个问题其实早就该重视了，现在开始也不算晚。',
    '周末刚去过，人特别多，建议大家错峰出行，早上九点前到比较好。',
    '我觉得文章里有些说法太绝对了，每个人情况不一样，不能一概而论。',
    '已转发给家里人看，尤其是老人要注意。',
]
USERS = ['小鱼儿2019', '城南老王', '风吹麦浪', '蓝色星期天', '阿杰不加班', '一只快乐的猫', '路人甲乙丙',
         '山那边的海', '晴天娃娃', '老陈说事']
AD_TEXTS = ['暑期特训班火热报名中 名师一对一辅导 点击咨询', '装修先看这里 免费量房设计 立即预约',
            '新车限时优惠 首付低至一成 马上抢购', '专业留学规划 名校申请全程服务']


def read_corpus():
    paras = {}
    for t in TOPICS:
        with open(os.path.join(CORPUS, t + '.txt'), encoding='utf-8') as f:
            paras[t] = [p.strip().replace('\n', '') for p in f.read().split('\n\n') if p.strip()]
    return paras


PARAS = read_corpus()


def headline(p):
    """A related-article headline: the first clause of a paragraph."""
    for sep in '，。；：':
        i = p.find(sep)
        if 6 <= i <= 26:
            return p[:i]
    return p[:18]


def e(s):
    return html.escape(s, quote=False)


class Page:
    def __init__(self, rng, topic, k):
        self.rng = rng
        self.topic = topic
        self.title = TITLES[topic][k]
        start = (k * 3) % 12
        n = rng.randint(3, 5)
        self.paras = [PARAS[topic][(start + i) % 12] for i in range(n)]
        self.site = rng.choice(SITE_NAMES)
        self.date = '2024-%02d-%02d %02d:%02d' % (rng.randint(1, 12), rng.randint(1, 28),
                                                 rng.randint(6, 22), rng.randint(0, 59))
        others = [t for t in TOPICS if t != topic]
        self.related = [headline(PARAS[rng.choice(others)][rng.randrange(12)]) for _ in range(8)]
        self.hot = [headline(PARAS[rng.choice(others)][rng.randrange(12)]) for _ in range(10)]

    def link(self, text, cls=None):
        c = ' class="%s"' % cls if cls else ''
        return '<a href="https://www.example.com/%s/%d.html"%s target="_blank">%s</a>' % (
            self.topic, self.rng.randint(10000, 99999), c, e(text))

    def nav(self, cls='nav', count=16):
        items = ''.join('<li>%s</li>' % self.link(c) for c in CHANNELS[:count])
        return '<div class="%s"><ul>%s</ul></div>' % (cls, items)

    def head(self, charset, extra_title=True, declare=True):
        meta = '<meta charset="%s">' % charset if declare else ''
        if declare and self.rng.random() < 0.4:
            meta = '<meta http-equiv="Content-Type" content="text/html; charset=%s" />' % charset
        t = '%s_%s' % (self.title, self.site) if extra_title else self.title
        if self.rng.random() < 0.5:
            t = '%s - %s频道 - %s' % (self.title, self.rng.choice(CHANNELS[1:]), self.site)
        return ('<!DOCTYPE html>\n<html lang="zh-CN">\n<head>\n%s\n<title>%s</title>\n'
                '<meta name="keywords" content="%s,%s">\n<meta name="description" content="%s">\n'
                '<link rel="stylesheet" href="/static/css/main.css?v=20240101">\n'
                '<style>body{font:14px/1.6 "Microsoft YaHei",sans-serif}.hide{display:none}'
                '.nav li{float:left;margin:0 8px}</style>\n'
                '<script>var _hmt=_hmt||[];(function(){var hm=document.createElement("script");'
                'hm.src="https://stat.example.com/hm.js?abc123";var s=document.getElementsByTagName("script")[0];'
                's.parentNode.insertBefore(hm,s);})();</script>\n</head>\n' % (
                    meta, e(t), e(self.site), e(self.title), e(self.paras[0][:60])))

    def footer(self, cls='footer'):
        links = ' | '.join(self.link(x) for x in FOOT_LINKS)
        return ('<div class="%s"><p>%s</p><p>Copyright &copy; 2008-2024 %s 版权所有 未经授权禁止转载</p>'
                '<p>京ICP备12345678号-1 违法和不良信息举报电话：010-12345678</p></div>' % (cls, links, e(self.site)))

    def hot_list(self, cls='hot-news', heading='热门文章'):
        items = ''.join('<li><span class="num">%d</span>%s</li>' % (i + 1, self.link(h))
                        for i, h in enumerate(self.hot))
        return '<div class="%s"><h3>%s</h3><ul>%s</ul></div>' % (cls, heading, items)

    def related_list(self, cls='related', heading='相关阅读'):
        items = ''.join('<li>%s<span class="time">%s</span></li>' % (self.link(h), self.date[:10])
                        for h in self.related[:6])
        return '<div class="%s"><h3>%s</h3><ul>%s</ul></div>' % (cls, heading, items)

    def share(self, cls='share-bar'):
        return ('<div class="%s">分享到：<a href="javascript:;" class="wx"></a><a href="javascript:;" '
                'class="wb">微博</a><a href="javascript:;" class="qq">QQ空间</a></div>' % cls)

    def comments(self, cls='comment-list', n=6):
        out = []
        for i in range(n):
            c = COMMENTS[(i * 5 + len(self.title)) % len(COMMENTS)]
            if self.rng.random() < 0.5:
                c += COMMENTS[(i * 7 + 3) % len(COMMENTS)]
            out.append('<div class="item"><div class="user"><a href="/u/%d">%s</a><span>%s</span></div>'
                       '<div class="txt">%s</div><div class="op"><a href="javascript:;">回复</a> '
                       '<a href="javascript:;">赞(%d)</a></div></div>' % (
                           self.rng.randint(1000, 9999), e(USERS[(i + len(self.title)) % len(USERS)]),
                           self.date, e(c), self.rng.randint(0, 300)))
        return '<div class="%s"><h3>网友评论（%d）</h3>%s</div>' % (cls, n * 3, ''.join(out))

    def gold(self, paras=None, title=None):
        return (title or self.title) + '\n\n' + '\n'.join(paras or self.paras) + '\n'


def paragraphs(pg, tag='p', indent=False):
    style = ' style="text-indent:2em"' if indent else ''
    return ''.join('<%s%s>%s</%s>\n' % (tag, style, e(p), tag) for p in pg.paras)


def portal(pg, neutral=False):
    c = (lambda a, b: b) if neutral else (lambda a, b: a)
    mid = len(pg.paras) // 2
    body = ''.join('<p>%s</p>\n' % e(p) for p in pg.paras[:mid])
    body += '<div class="%s"><a href="https://ad.example.com/c?id=77">%s</a></div>\n' % (
        c('ad-box', 'x-b3'), e(pg.rng.choice(AD_TEXTS)))
    body += ''.join('<p>%s</p>\n' % e(p) for p in pg.paras[mid:])
    page = pg.head('utf-8') + '<body>\n'
    page += '<div class="%s">%s<div class="login"><a href="/login">登录</a> <a href="/reg">注册</a></div></div>\n' % (
        c('top-bar', 'tb'), pg.nav(c('nav', 'm1')))
    page += '<div class="%s">当前位置：<a href="/">首页</a> &gt; <a href="/%s/">%s</a> &gt; 正文</div>\n' % (
        c('breadcrumb', 'pos'), pg.topic, pg.rng.choice(CHANNELS[1:]))
    page += '<div class="%s"><div class="%s">\n<h1>%s</h1>\n' % (c('main', 'w1000'), c('article-wrap', 'l'), e(pg.title))
    page += '<div class="%s"><span>%s</span> <span>来源：%s</span> <a href="#comments">评论(%d)</a></div>\n' % (
        c('article-meta', 'i2'), pg.date, e(pg.site), pg.rng.randint(3, 400))
    page += '<div class="%s" id="%s">\n%s</div>\n' % (c('article-content', 'c'), c('artibody', 'b2'), body)
    page += '<p class="%s">（责任编辑：%s）</p>\n' % (c('editor', 'e'), pg.rng.choice(['张晓', '李明', '王芳']))
    page += pg.share(c('share-bar', 's1')) + '\n'
    page += pg.related_list(c('related', 'r1')) + '\n'
    page += '</div>\n<div class="%s">%s%s</div>\n</div>\n' % (
        c('sidebar', 'r'), pg.hot_list(c('hot-news', 'h2x')), pg.hot_list(c('rank-list', 'h3x'), '24小时排行'))
    page += pg.footer(c('footer', 'ft')) + '\n<script>document.write("<div>"+new Date()+"</div>");</script>\n</body>\n</html>\n'
    return page, pg.gold()


def old_table(pg):
    paras = '<br>\n<br>\n'.join('&nbsp;&nbsp;&nbsp;&nbsp;' + e(p) for p in pg.paras)
    nav = '&nbsp;|&nbsp;'.join(pg.link(c) for c in CHANNELS[:12])
    page = pg.head('gb2312', declare=pg.rng.random() < 0.7).replace('<html lang="zh-CN">', '<html>')
    page += '<body topmargin="0">\n<table width="960" border="0" cellpadding="0" cellspacing="0" align="center">\n'
    page += '<tr><td height="80"><img src="/images/logo.gif"></td><td>%s</td></tr>\n' % nav
    page += '<tr><td colspan="2" bgcolor="#EEEEEE">您现在的位置：<a href="/">首页</a> &gt;&gt; <a href="/list.asp?id=3">本地新闻</a></td></tr>\n</table>\n'
    page += '<table width="960" align="center"><tr><td width="680" valign="top">\n'
    page += '<table width="100%%"><tr><td align="center"><font size="5"><b>%s</b></font></td></tr>\n' % e(pg.title)
    page += '<tr><td align="center"><font color="#666666">发布时间：%s &nbsp; 来源：本站原创 &nbsp; 点击数：%d &nbsp;【字体：<a href="#">大</a> <a href="#">中</a> <a href="#">小</a>】</font></td></tr>\n' % (
        pg.date, pg.rng.randint(100, 9999))
    page += '<tr><td><font style="font-size:14px">%s</font></td></tr>\n' % paras
    page += '<tr><td align="right">【<a href="javascript:window.print()">打印本页</a>】【<a href="javascript:window.close()">关闭窗口</a>】</td></tr>\n'
    page += '<tr><td>上一篇：%s<br>下一篇：%s</td></tr>\n</table>\n</td>\n' % (pg.link(pg.related[0]), pg.link(pg.related[1]))
    page += '<td width="270" valign="top"><table><tr><td><b>图片新闻</b></td></tr>%s</table>\n' % ''.join(
        '<tr><td>・%s</td></tr>' % pg.link(h) for h in pg.hot[:8])
    page += '<table><tr><td><b>推荐文章</b></td></tr>%s</table></td></tr></table>\n' % ''.join(
        '<tr><td>・%s</td></tr>' % pg.link(h) for h in pg.related[:6])
    page += '<table width="960" align="center"><tr><td align="center">%s<br>Copyright &copy; 2005-2024 %s All Rights Reserved.<br>ICP备案号：苏ICP备05012345号</td></tr></table>\n</body></html>\n' % (
        ' | '.join(FOOT_LINKS[:5]), e(pg.site))
    return page, pg.gold()


def blog(pg):
    paras = list(pg.paras)
    body = ''
    for i, p in enumerate(paras):
        if i == 2:
            body += '<h2>%s</h2>\n' % e(headline(p))
        body += '<p>%s</p>\n' % e(p)
    gold = []
    for i, p in enumerate(paras):
        if i == 2:
            gold.append(headline(p))
        gold.append(p)
    widgets = ''.join('<section class="widget"><h2 class="widget-title">%s</h2><ul>%s</ul></section>' % (
        t, ''.join('<li>%s</li>' % pg.link(h) for h in items)) for t, items in
        [('近期文章', pg.hot[:5]), ('分类目录', ['生活随笔', '读书笔记', '旅行', '技术', '未分类']),
         ('文章归档', ['2024年6月', '2024年5月', '2024年4月', '2024年3月'])])
    page = pg.head('UTF-8') + '<body class="post-template-default single single-post has-sidebar">\n'
    page += '<header id="masthead" class="site-header"><p class="site-title"><a href="/">%s的小站</a></p>' % e(pg.rng.choice(USERS))
    page += '<p class="site-description">记录生活，也记录思考</p><nav class="main-navigation"><ul>%s</ul></nav></header>\n' % ''.join(
        '<li>%s</li>' % pg.link(x) for x in ['首页', '随笔', '读书', '旅行', '关于我', '留言板'])
    page += '<div id="content" class="site-content"><div id="primary" class="content-area"><main id="main" class="site-main">\n'
    page += '<article id="post-%d" class="post type-post status-publish hentry">\n' % pg.rng.randint(100, 999)
    page += '<header class="entry-header"><h1 class="entry-title">%s</h1><div class="entry-meta"><span class="posted-on">发布于 <time>%s</time></span> <span class="byline">作者 %s</span></div></header>\n' % (
        e(pg.title), pg.date[:10], e(pg.rng.choice(USERS)))
    page += '<div class="entry-content">\n%s</div>\n' % body
    page += '<footer class="entry-footer"><span class="cat-links">分类：<a href="#">生活随笔</a></span> <span class="tags-links">标签：<a href="#">日常</a>，<a href="#">记录</a></span></footer>\n</article>\n'
    page += '<nav class="navigation post-navigation"><div class="nav-previous">%s</div><div class="nav-next">%s</div></nav>\n' % (
        pg.link('上一篇：' + pg.related[0]), pg.link('下一篇：' + pg.related[1]))
    clist = ''.join('<li class="comment"><article class="comment-body"><footer class="comment-meta"><b class="fn">%s</b> <time>%s</time></footer><div class="comment-content"><p>%s</p></div><div class="reply"><a href="#">回复</a></div></article></li>' % (
        e(USERS[i % len(USERS)]), pg.date, e(COMMENTS[(i * 3) % len(COMMENTS)] + COMMENTS[(i * 3 + 1) % len(COMMENTS)])) for i in range(7))
    page += '<div id="comments" class="comments-area"><h2 class="comments-title">《%s》有 7 条评论</h2><ol class="comment-list">%s</ol>' % (e(pg.title), clist)
    page += '<div id="respond"><h3>发表回复</h3><form><textarea name="comment"></textarea><input type="submit" value="发表评论"></form></div></div>\n'
    page += '</main></div>\n<aside id="secondary" class="widget-area">%s</aside></div>\n' % widgets
    page += '<footer id="colophon" class="site-footer"><div class="site-info">&copy; 2024 本站内容采用知识共享协议 | 由某某主题驱动</div></footer>\n</body></html>\n'
    return page, pg.gold(gold)


def forum(pg):
    first = pg.paras[:3]
    replies = [COMMENTS[(i * 3 + 2) % len(COMMENTS)] + ('\n' + COMMENTS[(i + 5) % len(COMMENTS)] if i % 2 else '') for i in range(6)]
    posts = ''
    for i in range(7):
        user = USERS[(i * 3) % len(USERS)]
        content = '<br />\r\n'.join(e(p) for p in first) if i == 0 else e(replies[i - 1]).replace('\n', '<br />')
        floor = '楼主' if i == 0 else ('沙发' if i == 1 else ('板凳' if i == 2 else '%d#' % (i + 1)))
        posts += ('<div id="post_%d"><table id="pid%d" class="plhin" cellspacing="0" cellpadding="0"><tr>'
                  '<td class="pls" rowspan="2"><div class="pi"><div class="authi"><a href="home.php?uid=%d" class="xw1">%s</a></div></div>'
                  '<div class="avatar"><img src="/avatar/%d.jpg"></div><dl class="pil"><dt>积分</dt><dd>%d</dd><dt>帖子</dt><dd>%d</dd></dl></td>'
                  '<td class="plc"><div class="pi"><strong><a href="#pid%d">%s</a></strong><div class="pti"><div class="authi">'
                  '<em id="authorposton%d">发表于 %s</em> | <a href="#">只看该作者</a></div></div></div>'
                  '<div class="pct"><div class="pcb"><div class="t_fsz"><table cellspacing="0" cellpadding="0"><tr>'
                  '<td class="t_f" id="postmessage_%d">\r\n%s</td></tr></table></div></div></div></td></tr>'
                  '<tr><td class="plc plm"><div class="sign">%s</div><div class="po"><a href="#">回复</a> <a href="#">举报</a></div></td></tr>'
                  '</table></div>\n') % (
            i, 1000 + i, 500 + i, e(user), i, pg.rng.randint(10, 9000), pg.rng.randint(5, 900), 1000 + i, floor, 1000 + i,
            pg.date, 1000 + i, content, e('生活不止眼前的苟且' if i % 3 == 0 else '每天进步一点点'))
    page = pg.head('gbk').replace(e(pg.title) + '_', e(pg.title) + ' - 生活杂谈 - ')
    page += '<body id="nv_forum" class="pg_viewthread">\n<div id="toptb" class="cl"><a href="/">设为首页</a> <a href="#">收藏本站</a> <a href="member.php?mod=register">立即注册</a> <a href="member.php?mod=logging">登录</a></div>\n'
    page += '<div id="nv">%s</div>\n' % pg.nav('nv-list', 8)
    page += '<div id="pt" class="bm cl"><div class="z"><a href="./">%s论坛</a> <em>&rsaquo;</em> <a href="forum.php?gid=1">社区</a> <em>&rsaquo;</em> <a href="forum-2-1.html">生活杂谈</a> <em>&rsaquo;</em> 查看内容</div></div>\n' % e(pg.site[:2])
    page += '<div class="pgs mtm mbm cl"><div class="pg"><strong>1</strong><a href="#">2</a><a href="#">3</a><a href="#" class="nxt">下一页</a></div></div>\n'
    page += '<div id="postlist" class="pl bm"><table cellspacing="0" cellpadding="0"><tr><td class="pls ptn pbn"><div class="hm ptn"><span class="xg1">查看:</span> <span class="xi1">%d</span><span class="pipe">|</span><span class="xg1">回复:</span> <span class="xi1">6</span></div></td>' % pg.rng.randint(100, 5000)
    page += '<td class="plc ptm pbn vwthd"><h1 class="ts"><span id="thread_subject">%s</span></h1></td></tr></table>\n%s</div>\n' % (e(pg.title), posts)
    page += '<div id="f_pst" class="pl bm bmw"><form><textarea name="message"></textarea><button type="submit">发表回复</button></form></div>\n'
    page += '<div id="ft" class="wp cl"><p>Powered by 某论坛程序 &copy; 2001-2024</p><p>%s</p></div>\n</body></html>\n' % ' | '.join(FOOT_LINKS[:4])
    return page, pg.gold(first)


def wiki(pg):
    sections = [headline(p) for p in pg.paras[1:]]
    infobox = ''.join('<tr><th>%s</th><td>%s</td></tr>' % (k, v) for k, v in
                      [('中文名', pg.title[:6]), ('类别', pg.rng.choice(CHANNELS[1:])), ('地区', '华东'), ('时间', pg.date[:4] + '年')])
    toc = ''.join('<li><a href="#s%d"><span class="tocnumber">%d</span> <span class="toctext">%s</span></a></li>' % (i, i + 1, e(s))
                  for i, s in enumerate(sections))
    body = '<p>%s</p>\n' % e(pg.paras[0])
    gold = [pg.paras[0]]
    for i, p in enumerate(pg.paras[1:]):
        body += '<h2><span class="mw-headline" id="s%d">%s</span><span class="mw-editsection">[<a href="/edit?section=%d">编辑</a>]</span></h2>\n<p>%s<sup class="reference"><a href="#cite-%d">[%d]</a></sup></p>\n' % (
            i, e(sections[i]), i + 1, e(p), i, i + 1)
        gold += [sections[i], p]
    refs = ''.join('<li id="cite-%d"><a href="#">^</a> %s. 某出版社, %d.</li>' % (i, e(pg.related[i]), 2010 + i) for i in range(len(sections)))
    page = pg.head('utf-8', extra_title=False).replace('<title>', '<title>') 
    page = page.replace('<title>%s</title>' % e(pg.title), '<title>%s - 自由的百科全书</title>' % e(pg.title))
    page += '<body class="mediawiki"><div id="mw-page-base"></div><div id="content" class="mw-body">\n'
    page += '<h1 id="firstHeading" class="firstHeading">%s</h1>\n<div id="siteSub">本条目由网友共同编辑</div>\n' % e(pg.title)
    page += '<div id="bodyContent"><div id="mw-content-text"><div class="mw-parser-output">\n'
    page += '<table class="infobox">%s</table>\n' % infobox
    page += body[:body.find('\n') + 1]
    page += '<div id="toc" class="toc"><div class="toctitle"><h2>目录</h2></div><ul>%s</ul></div>\n' % toc
    page += body[body.find('\n') + 1:]
    page += '<h2><span class="mw-headline">参考资料</span></h2><ol class="references">%s</ol>\n' % refs
    page += '<div class="navbox"><table><tr><th>%s相关条目</th><td>%s</td></tr></table></div>\n' % (
        e(pg.rng.choice(CHANNELS[1:])), ' · '.join(pg.link(h) for h in pg.hot[:8]))
    page += '</div></div><div id="catlinks" class="catlinks">分类：%s</div></div></div>\n' % ' | '.join(pg.link(x) for x in ['社会', '城市', '生活'])
    page += '<div id="mw-navigation"><div id="mw-panel">%s</div></div>\n' % ''.join(
        '<div class="portal"><h3>%s</h3><ul>%s</ul></div>' % (t, ''.join('<li>%s</li>' % pg.link(x) for x in xs))
        for t, xs in [('导航', ['首页', '分类索引', '特色内容', '随机条目']), ('帮助', ['帮助', '社区入口', '最近更改', '联系我们'])])
    page += '<div id="footer"><ul><li>本页面最后修订于%s。</li><li>本站的全部文字在知识共享 署名-相同方式共享 协议之条款下提供。</li></ul></div>\n</body></html>\n' % pg.date[:10]
    return page, pg.gold(gold)


CODE = [
    ('pip install requests', 'import requests\nresp = requests.get("https://api.example.com/items", timeout=5)\nprint(resp.status_code)'),
    ('mkdir build && cd build', 'cmake .. -G Ninja\nninja\nctest --output-on-failure'),
    ('npm install --save axios', 'const res = await axios.get("/api/list");\nconsole.log(res.data.length);'),
    ('git clone https://git.example.com/demo.git', 'git checkout -b feature/login\ngit commit -am "add login form"'),
]


def docs(pg):
    code = CODE[len(pg.title) % len(CODE)]
    body = '<p>%s</p>\n' % e(pg.paras[0])
    gold = [pg.paras[0]]
    body += '<h2 id="install">安装</h2>\n<p>%s</p>\n<pre><code class="language-bash">%s</code></pre>\n' % (e(pg.paras[1]), e(code[0]))
    gold += ['安装', pg.paras[1], code[0]]
    body += '<h2 id="usage">使用方法</h2>\n<pre class="highlight"><code>%s</code></pre>\n' % e(code[1])
    gold += ['使用方法'] + code[1].split('\n')
    items = [headline(p) for p in pg.paras[2:]]
    body += '<ul>%s</ul>\n' % ''.join('<li>%s</li>' % e(i) for i in items)
    gold += items
    body += ''.join('<p>%s</p>\n' % e(p) for p in pg.paras[2:])
    gold += pg.paras[2:]
    body += '<div class="admonition note"><p class="admonition-title">注意</p><p>%s</p></div>\n' % e(headline(pg.paras[0]) + '，详细说明请参考配置章节。')
    gold += ['注意', headline(pg.paras[0]) + '，详细说明请参考配置章节。']
    tree = ''.join('<li class="toctree-l1"><a class="reference internal" href="#">%s</a><ul>%s</ul></li>' % (
        x, ''.join('<li class="toctree-l2"><a href="#">%s %d</a></li>' % (x, k) for k in range(1, 4)))
        for x in ['快速开始', '安装指南', '基本概念', '配置说明', '命令行工具', '接口参考', '常见问题', '更新日志'])
    page = pg.head('utf-8', declare=False).replace('<title>%s' % e(pg.title), '<title>%s' % e(pg.title))
    page += '<body class="wy-body-for-nav"><div class="wy-grid-for-nav">\n'
    page += '<nav data-toggle="wy-nav-shift" class="wy-nav-side"><div class="wy-side-scroll"><div class="wy-side-nav-search"><a href="/">项目文档</a><form id="rtd-search-form"><input type="text" name="q" placeholder="搜索文档"></form></div>'
    page += '<div class="wy-menu wy-menu-vertical" role="navigation"><p class="caption">用户指南</p><ul>%s</ul></div></div></nav>\n' % tree
    page += '<section class="wy-nav-content-wrap"><div class="wy-nav-content"><div role="navigation" aria-label="breadcrumbs navigation"><ul class="wy-breadcrumbs"><li><a href="/">文档</a> &raquo;</li><li>%s</li></ul></div>\n' % e(pg.title)
    page += '<div class="document" role="main" itemprop="articleBody"><div class="section" id="main-sec">\n<h1>%s<a class="headerlink" href="#main-sec" title="永久链接">¶</a></h1>\n%s</div></div>\n' % (e(pg.title), body)
    page += '<footer><div class="rst-footer-buttons"><a href="#" class="btn btn-neutral float-right">下一节 <span class="fa fa-arrow-circle-right"></span></a><a href="#" class="btn btn-neutral">上一节</a></div><hr/><div role="contentinfo"><p>&copy; 版权所有 2024, 项目组。</p></div>使用 文档生成工具 构建。</footer>\n'
    page += '</div></section></div>\n<script>var DOCUMENTATION_OPTIONS={URL_ROOT:"./",VERSION:"2.1"};</script>\n</body></html>\n'
    return page, pg.gold(gold)


def heavy_comments(pg, hinted):
    cls = 'comment-box' if hinted else 'c-wrap'
    items = ''
    for i in range(12):
        c = COMMENTS[(i * 5 + 1) % len(COMMENTS)] + COMMENTS[(i * 5 + 2) % len(COMMENTS)] + COMMENTS[(i + 9) % len(COMMENTS)]
        items += '<li class="%s"><div class="%s"><a href="/u/%d">%s</a> <span>%s</span></div><p>%s</p><div><a href="#">回复</a> <a href="#">赞</a></div></li>\n' % (
            'cmt-item' if hinted else 'li-x', 'cmt-user' if hinted else 'u', i, e(USERS[i % len(USERS)]), pg.date, e(c))
    page = pg.head('utf-8') + '<body>\n' + pg.nav('nav') + '\n'
    page += '<div class="w"><div class="l">\n<div class="t"><h1>%s</h1><div class="m">%s %s</div></div>\n' % (e(pg.title), pg.date, e(pg.site))
    page += '<div class="a">\n%s</div>\n' % paragraphs(pg)
    page += pg.share('s') + '\n'
    page += '<div class="%s" id="%s"><div class="hd">热门跟帖 <a href="#">查看全部</a></div><ul>%s</ul><div class="pages"><a href="#">1</a><a href="#">2</a><a href="#">下一页</a></div></div>\n' % (
        cls, 'comments' if hinted else 'x9', items)
    page += '</div><div class="r">%s</div></div>\n' % pg.hot_list('hl')
    page += pg.footer() + '</body></html>\n'
    return page, pg.gold()


def listing(pg):
    items = ''
    for i in range(12):
        t = pg.rng.choice(TOPICS)
        p = PARAS[t][pg.rng.randrange(12)]
        items += '<li class="news-item"><h3>%s</h3><p class="summary">%s……</p><div class="info"><span>%s</span> <span>%s</span></div></li>\n' % (
            pg.link(TITLES[t][i % 4]), e(p[:70]), pg.date[:10], e(pg.rng.choice(SITE_NAMES)))
    page = pg.head('utf-8').replace('<title>%s' % e(pg.title), '<title>%s新闻' % e(pg.rng.choice(CHANNELS[1:])))
    page += '<body>\n%s\n<div class="crumb"><a href="/">首页</a> &gt; 新闻列表</div>\n' % pg.nav()
    page += '<div class="main"><div class="list-left"><ul class="news-list">\n%s</ul>\n' % items
    page += '<div class="pagination"><a href="#">上一页</a> <a href="#">1</a> <a href="#">2</a> <a href="#">3</a> ... <a href="#">50</a> <a href="#">下一页</a></div></div>\n'
    page += '<div class="list-right">%s</div></div>\n' % pg.hot_list()
    page += pg.footer() + '</body></html>\n'
    return page, ''


def mobile(pg):
    body = ''
    for i, p in enumerate(pg.paras):
        body += '<p>%s</p>\n' % e(p)
        if i == 0:
            body += '<div class="img-wrap"><img src="https://img.example.com/%d.jpg" data-src="x"></div>\n' % pg.rng.randint(1, 999)
    feed = ''.join('<a class="feed-item" href="/m/%d"><div class="feed-img"><img src="/t.jpg"></div><div class="feed-title">%s</div><div class="feed-src">%s %d评</div></a>\n' % (
        i, e(h), e(pg.rng.choice(SITE_NAMES)), pg.rng.randint(1, 999)) for i, h in enumerate(pg.hot[:8]))
    page = pg.head('utf-8', declare=False).replace('<html lang="zh-CN">', '<html>')
    page = page.replace('<head>\n', '<head>\n<meta name="viewport" content="width=device-width,initial-scale=1">\n')
    page += '<body><div id="app"><div class="top-banner"><span>打开APP，阅读体验更佳</span><a href="#">立即打开</a></div>\n'
    page += '<section class="main-content"><h1 class="title">%s</h1><div class="author-bar"><span class="name">%s</span><span class="time">%s</span><a class="follow">+关注</a></div>\n' % (
        e(pg.title), e(pg.site), pg.date)
    page += '<article class="article-text">\n%s</article>\n' % body
    page += '<div class="expand-btn" style="display:none">展开全文</div><div class="statement">声明：本文由入驻平台的作者撰写，观点仅代表作者本人。</div>\n'
    page += '<div class="recommend"><div class="rec-title">为你推荐</div>\n%s</div></section>\n' % feed
    page += '<div class="bottom-bar"><a>写评论</a><a>收藏</a><a>分享</a></div></div>\n<script>window.__INITIAL_STATE__={"article":{"id":123,"title":"%s"}};</script>\n</body></html>\n' % e(pg.title)
    return page, pg.gold()


def account(pg):
    body = ''
    for p in pg.paras:
        parts = p.split('。')
        spans = ''.join('<span style="font-size:15px;color:#333">%s。</span>' % e(s) for s in parts if s)
        body += '<section style="margin:0 8px"><section><p style="line-height:1.75em">%s</p></section></section>\n' % spans
        body += '<p><br></p>\n'
    page = pg.head('utf-8', extra_title=False).replace('<html lang="zh-CN">', '<html>')
    page += '<body id="activity-detail" class="zh_CN"><div class="rich_media"><div class="rich_media_inner">\n'
    page += '<h1 class="rich_media_title" id="activity-name">\n%s\n</h1>\n' % e(pg.title)
    page += '<div id="meta_content" class="rich_media_meta_list"><span class="rich_media_meta rich_media_meta_text">原创</span> <span class="rich_media_meta_nickname"><a href="javascript:void(0);">%s</a></span> <em id="publish_time">%s</em></div>\n' % (e(pg.site), pg.date[:10])
    page += '<div class="rich_media_content" id="js_content">\n<section><img data-src="https://img.example.com/top.gif"></section>\n%s' % body
    page += '<p style="text-align:center"><span style="color:#888">— END —</span></p><p><img data-src="https://img.example.com/qr.png"></p><p style="text-align:center"><span>长按识别二维码关注我们</span></p>\n</div>\n'
    page += '<div class="rich_media_tool"><a id="js_view_source">阅读原文</a> 阅读 <span id="readNum">%d</span> <a>在看</a></div>\n</div></div>\n' % pg.rng.randint(100, 99999)
    page += '<script>var msg_title = "%s"; var msg_desc = "%s";</script>\n</body></html>\n' % (e(pg.title), e(pg.paras[0][:40]))
    return page, pg.gold()


def government(pg):
    page = pg.head('gb2312').replace('<html lang="zh-CN">', '<html>')
    page += '<body>\n<div class="header"><div class="logo">某市人民政府门户网站</div><div class="nav">%s</div></div>\n' % ' '.join(
        pg.link(x) for x in ['首页', '政务公开', '政务服务', '互动交流', '走进本市', '专题专栏'])
    page += '<div class="location">当前位置：<a href="/">首页</a> &gt; <a href="/zwgk/">政务公开</a> &gt; <a href="/zwgk/tzgg/">通知公告</a></div>\n'
    page += '<div class="xxgk"><table class="xxgk-table"><tr><td>索引号：</td><td>11320100MB%05d/2024-%05d</td><td>分类：</td><td>通知公告</td></tr>' % (
        pg.rng.randint(0, 99999), pg.rng.randint(0, 99999))
    page += '<tr><td>发布机构：</td><td>市政府办公室</td><td>发文日期：</td><td>%s</td></tr><tr><td>文号：</td><td>政办发〔2024〕%d号</td><td>时效性：</td><td>有效</td></tr></table></div>\n' % (
        pg.date[:10], pg.rng.randint(1, 99))
    page += '<div class="article"><div class="title">%s</div>\n<div class="TRS_Editor"><div class="TRS_Editor">\n%s</div></div>\n' % (
        e(pg.title), paragraphs(pg, 'p', True))
    page += '<div class="attachment">附件：<a href="/files/a.docx">1.申请表.docx</a> <a href="/files/b.pdf">2.办理流程.pdf</a></div>\n'
    page += '<div class="tools">【<a href="#">打印本页</a>】【<a href="#">关闭窗口</a>】 <span>扫一扫在手机打开当前页</span></div></div>\n'
    page += '<div class="footer"><p>主办：某市人民政府办公室 承办：某市大数据管理局</p><p>网站标识码：3201000001 苏ICP备05000000号 苏公网安备32010202000000号</p></div>\n</body></html>\n'
    return page, pg.gold()


def feed(pg):
    """A short news item over a long feed of headlines with summaries, no class names to go by."""
    pg.paras = pg.paras[:2]
    items = ''
    for i in range(10):
        t = pg.rng.choice(TOPICS)
        p = PARAS[t][pg.rng.randrange(12)]
        items += '<div class="f-i"><div class="f-t">%s</div><div class="f-d">%s……</div><div class="f-s">%s %d阅读</div></div>\n' % (
            pg.link(TITLES[t][i % 4]), e(p[:60]), e(pg.rng.choice(SITE_NAMES)), pg.rng.randint(100, 9999))
    page = pg.head('utf-8') + '<body>\n<div class="w1">%s</div>\n' % pg.nav('n1')
    page += '<div class="w2"><div class="b1"><div class="t1">%s</div><div class="m1">%s</div>\n' % (e(pg.title), pg.date)
    page += '<div class="c1">\n%s</div></div>\n' % paragraphs(pg)
    page += '<div class="b2"><div class="b2t">猜你喜欢</div>\n%s</div></div>\n' % items
    page += pg.footer('f1') + '</body></html>\n'
    return page, pg.gold()


def keywords(pg):
    """Paragraphs full of keyword links, laid out in <div>s, GBK without a declaration."""
    words = ['社区', '记者', '市民', '工作', '今年', '服务', '孩子', '城市', '部门', '问题']
    body = ''
    for p in pg.paras:
        linked = e(p)
        for w in words:
            linked = linked.replace(w, '<a href="https://www.example.com/tag/%s" class="kw">%s</a>' % (w, w), 1)
        body += '<div style="text-indent:2em;margin:10px 0">%s</div>\n' % linked
    page = pg.head('gbk', declare=False).replace('<html lang="zh-CN">', '<html>')
    page += '<body><div id="top">%s</div>\n' % pg.nav('topnav')
    page += '<div id="left"><h1>%s</h1><div id="info">%s 来源：%s</div>\n<div id="text">\n%s</div>\n' % (
        e(pg.title), pg.date, e(pg.site), body)
    page += '<div id="page-links">上一篇：%s 下一篇：%s</div></div>\n' % (pg.link(pg.related[2]), pg.link(pg.related[3]))
    page += '<div id="right">%s%s</div>\n' % (pg.hot_list('box'), pg.related_list('box2', '精彩推荐'))
    page += pg.footer('bottom') + '</body></html>\n'
    return page, pg.gold()


def baike(pg):
    """An encyclopedia entry: summary, a definition-list infobox, paragraphs in <div class="para">."""
    sections = [headline(p) for p in pg.paras[2:]]
    info = ''.join('<dt class="basicInfo-item name">%s</dt><dd class="basicInfo-item value">%s</dd>' % (k, e(v)) for k, v in
                   [('中文名', pg.title[:8]), ('外文名', 'Example Item'), ('所属地区', '华东'), ('类    型', pg.rng.choice(CHANNELS[1:])),
                    ('首次出现', pg.date[:4] + '年'), ('相关人物', pg.rng.choice(USERS))])
    page = pg.head('utf-8', extra_title=False)
    page = page.replace('<title>%s</title>' % e(pg.title), '<title>%s_百科</title>' % e(pg.title))
    page += '<body><div class="header-wrapper"><div class="search"><input name="word"><button>进入词条</button></div>%s</div>\n' % pg.nav('nav-bar', 10)
    page += '<div class="body-wrapper"><div class="content-wrapper"><div class="content"><div class="main-content J-content">\n'
    page += '<div class="lemma-title"><h1>%s</h1><a class="edit-lemma" href="#">编辑</a><a class="lock-lemma">锁定</a></div>\n' % e(pg.title)
    page += '<div class="lemma-summary" label-module="lemmaSummary"><div class="para" label-module="para">%s</div>\n<div class="para" label-module="para">%s</div></div>\n' % (
        e(pg.paras[0]), e(pg.paras[1]))
    page += '<div class="basic-info J-basic-info cmn-clearfix"><dl class="basicInfo-block basicInfo-left">%s</dl></div>\n' % info
    page += '<div class="lemmaWgt-lemmaCatalog"><div class="lemma-catalog"><h2 class="block-title">目录</h2><ol>%s</ol></div></div>\n' % ''.join(
        '<li class="level1"><span class="index">%d</span><span class="text"><a href="#%d">%s</a></span></li>' % (i + 1, i + 1, e(t)) for i, t in enumerate(sections))
    gold = pg.paras[:2]
    for i, p in enumerate(pg.paras[2:]):
        page += '<div class="anchor-list"><a name="%d"></a></div><div class="para-title level-2" label-module="para-title"><h2 class="title-text"><span class="title-prefix">%s</span>%s</h2><a class="edit-icon" href="#">编辑</a></div>\n' % (
            i + 1, e(pg.title[:4]), e(sections[i]))
        page += '<div class="para" label-module="para">%s<sup class="sup--normal">[%d]</sup><a class="sup-anchor" name="ref_%d"></a></div>\n' % (e(p), i + 1, i + 1)
        gold += [pg.title[:4] + sections[i], p]
    page += '<dl class="lemma-reference collapse nslog-area log-set-param"><h2 class="title">参考资料</h2><ul>%s</ul></dl>\n' % ''.join(
        '<li class="reference-item"><span class="index">%d.</span><a class="text" href="#">%s</a><span class="site">某网站</span><span>%s</span></li>' % (i + 1, e(h), pg.date[:10]) for i, h in enumerate(pg.related[:4]))
    page += '<div id="open-tag"><dd id="open-tag-item">%s</dd></div>\n' % '，'.join(pg.link(x) for x in ['社会', '生活', '文化'])
    page += '</div></div><div class="side-content"><div class="lemmaWgt-promotion-leadPVBtn">%s</div><div class="zhixin-box"><div class="zhixin-title">相关词条</div>%s</div></div></div></div>\n' % (
        pg.hot_list('lemma-rank', '词条统计'), ''.join('<div class="zx-item">%s</div>' % pg.link(h) for h in pg.hot[:6]))
    page += '<div class="wgt-footer-main"><p>&copy;2024 百科 使用前必读 百科协议 隐私政策</p></div></body></html>\n'
    return page, pg.gold(gold)


def weixin(pg):
    """An official-account article as served: the body starts hidden until a script shows it."""
    body = ''
    for p in pg.paras:
        half = len(p) // 2
        body += '<p style="margin:0 8px;line-height:1.75em;"><span style="font-size:15px;letter-spacing:1px;">%s</span><span style="font-size:15px;">%s</span></p><p><br  /></p>\n' % (
            e(p[:half]), e(p[half:]))
    page = pg.head('utf-8', extra_title=False, declare=True).replace('<html lang="zh-CN">', '<html>')
    page += '<body id="activity-detail" class="zh_CN wx_wap_page"><div id="js_article" class="rich_media">\n<div class="rich_media_inner"><div id="page-content" class="rich_media_area_primary">\n'
    page += '<h1 class="rich_media_title " id="activity-name">\n    %s\n</h1>\n' % e(pg.title)
    page += '<div id="meta_content" class="rich_media_meta_list"><span id="copyright_logo" class="wx_tap_link js_wx_tap_highlight rich_media_meta icon_appmsg_tag appmsg_title_tag weui-wa-hotarea">原创</span><span class="rich_media_meta rich_media_meta_text">%s</span> <span class="rich_media_meta rich_media_meta_nickname" id="profileBt"><a href="javascript:void(0);" class="wx_tap_link js_name" id="js_name">%s</a></span> <em id="publish_time" class="rich_media_meta rich_media_meta_text"></em></div>\n' % (
        e(pg.rng.choice(USERS)), e(pg.site))
    page += '<div class="rich_media_content js_underline_content autoTypeSetting24psection" id="js_content" style="visibility: hidden;">\n<section style="text-align:center"><img class="rich_pages wxw-img" data-src="https://img.example.com/top.gif"></section>\n%s' % body
    page += '<section style="text-align:center"><span style="color:#888">— END —</span></section><p style="text-align:center"><img class="rich_pages" data-src="https://img.example.com/qr.png"></p><p style="text-align:center"><span style="font-size:12px;color:#999">长按识别二维码关注我们</span></p>\n</div>\n'
    page += '<div class="reward_area"><p>喜欢作者</p></div></div></div>\n<div id="js_pc_qr_code" class="qr_code_pc_outer" style="display:none;"><p>微信扫一扫<br>关注该公众号</p></div></div>\n'
    page += '<script>var msg_title = "%s".html(false); var ct = "1712345678";</script>\n</body></html>\n' % e(pg.title)
    return page, pg.gold()


def techblog(pg):
    """A technical blog: a markdown body with code, an author box, a recommendation box with summaries."""
    code = CODE[len(pg.title) % len(CODE)]
    body = '<p>%s</p>\n<pre><code class="language-shell">%s</code></pre>\n' % (e(pg.paras[0]), e(code[1]))
    gold = [pg.paras[0]] + code[1].split('\n')
    for p in pg.paras[1:]:
        body += '<h3><a name="t%d"></a>%s</h3>\n<p>%s</p>\n' % (len(gold), e(headline(p)), e(p))
        gold += [headline(p), p]
    recs = ''.join('<div class="recommend-item-box type_blog clearfix"><div class="content-box"><div class="content"><a href="#"><div class="desc ellipsis-online ellipsis-online-1">%s</div></a></div><div class="info-box"><span>%s</span></div></div><div class="desc">%s……</div></div>\n' % (
        e(h), e(pg.rng.choice(USERS)), e(PARAS[pg.rng.choice(TOPICS)][k][:50])) for k, h in enumerate(pg.hot[:6]))
    page = pg.head('utf-8')
    page += '<body class="nodata " style=""><div id="csdn-toolbar"><div class="toolbar-inside"><div class="toolbar-menus">%s</div><div class="toolbar-btn">登录 会员中心 消息 历史 创作中心 发布</div></div></div>\n' % ''.join(
        pg.link(x) for x in ['博客', '下载', '学习', '社区', '问答', '开源', '会员', '招聘'])
    page += '<div class="main_father clearfix d-flex justify-content-center"><div class="container clearfix" id="mainBox"><main>\n'
    page += '<div class="blog-content-box"><div class="article-header-box"><div class="article-header"><div class="article-title-box"><h1 class="title-article" id="articleContentId">%s</h1></div>' % e(pg.title)
    page += '<div class="article-info-box"><div class="article-bar-top"><a class="follow-nickName" href="#">%s</a> <span class="time">于&nbsp;%s&nbsp;发布</span> <span class="read-count">阅读量%d</span> <span class="get-collection">收藏</span> <span class="read-count">点赞数</span></div>' % (
        e(pg.rng.choice(USERS)), pg.date, pg.rng.randint(100, 99999))
    page += '<div class="blog-tags-box"><div class="tags-box artic-tag-box"><span class="label">文章标签：</span><a class="tag-link" href="#">%s</a><a class="tag-link" href="#">经验</a></div></div><div class="slide-content-box"><div class="article-copyright"><div class="creativecommons">版权声明：本文为博主原创文章，遵循 CC 4.0 BY-SA 版权协议，转载请附上原文出处链接和本声明。</div></div></div></div></div></div>\n' % e(pg.topic)
    page += '<article class="baidu_pl"><div id="article_content" class="article_content clearfix"><div id="content_views" class="markdown_views prism-atom-one-light">\n%s</div></div></article></div>\n' % body
    page += '<div class="recommend-box insert-baidu-box recommend-box-style">\n%s</div>\n' % recs
    page += '<div id="pcCommentBox" class="comment-box comment-box-new2"><div class="comment-list-container"><ul class="comment-list">%s</ul></div></div>\n' % ''.join(
        '<li class="comment-line-box"><div class="comment-right"><span class="name">%s</span><span class="date">%s</span><span class="new-comment">%s</span></div></li>' % (
            e(USERS[i]), pg.date, e(COMMENTS[i + 3])) for i in range(5))
    page += '</main><aside class="blog_container_aside"><div id="asideProfile" class="aside-box"><div class="profile-intro"><div class="user-info">%s</div><div class="introduction">%s</div></div><div class="data-info">原创 128 周排名 3456 总排名 7万+ 访问 12万+ 等级</div></div>\n' % (
        e(pg.rng.choice(USERS)), e('十年老程序员，写写代码，也写写生活，欢迎交流。'))
    page += '<div id="asideHotArticle" class="aside-box"><h3 class="aside-title">热门文章</h3><div class="aside-content"><ul class="hotArticle-list">%s</ul></div></div></aside></div></div>\n' % ''.join(
        '<li>%s<p class="read">%d阅读</p></li>' % (pg.link(h), pg.rng.randint(100, 99999)) for h in pg.hot[:6])
    page += '<div class="blog-footer-bottom">&copy;1999-2024 某科技有限公司</div></body></html>\n'
    return page, pg.gold(gold)


def netease(pg):
    """A portal article laid out with ids, a heavy unhinted 'tie' comments block, source lines at both ends."""
    body = '<p class="otitle">（原标题：%s）</p>\n' % e(pg.title[:8])
    body += ''.join('<p>%s</p>\n' % e(p) for p in pg.paras)
    body += '<p>本文来源：%s 作者：%s</p>\n' % (e(pg.site), e(pg.rng.choice(USERS)))
    ties = ''.join('<div class="tie-item"><div class="tie-author">%s网友 [%s]</div><div class="tie-cnt">%s</div><div class="tie-bar"><span>%s</span> 顶 踩 回复</div></div>\n' % (
        e(pg.rng.choice(['北京市', '广东省', '浙江省', '四川省'])), e(USERS[i]), e(COMMENTS[i] + COMMENTS[i + 4]), pg.date) for i in range(8))
    page = pg.head('gbk')
    page += '<body><div class="ns_area topbar">%s</div>\n' % pg.nav('N-nav-channel', 18)
    page += '<div class="post_main"><div class="post_content"><h1 class="post_title">%s</h1>\n' % e(pg.title)
    page += '<div class="post_info">%s　来源: <a href="#">%s</a>　<a href="#">举报</a></div>\n' % (pg.date, e(pg.site))
    page += '<div class="post_body"><div id="endText">\n%s</div></div>\n' % body
    page += '<div class="post_btns"><a class="post_btn_share">分享</a><a>收藏</a></div>\n'
    page += '<div class="post_next"><a href="#">下一篇：%s</a></div>\n' % e(pg.related[0])
    page += '<div class="post_tie"><div class="tie-title">跟贴 %d 参与 %d</div>\n%s</div>\n' % (pg.rng.randint(100, 9999), pg.rng.randint(1000, 99999), ties)
    page += '</div><div class="post_side">%s%s</div></div>\n' % (pg.hot_list('mod_hot_rank', '热点排行'), pg.related_list('mod_netease_love', '网易推荐'))
    page += pg.footer('N-footer') + '</body></html>\n'
    return page, pg.gold([pg.paras[0] if False else p for p in pg.paras])


def spa(pg):
    """A page a script builds: the markup holds menus only, the article is in the page's JSON state."""
    import json
    content = ''.join('<p>%s</p>' % e(p) for p in pg.paras)
    state = {'article': {'id': pg.rng.randint(10 ** 6, 10 ** 7), 'title': pg.title, 'source': pg.site,
                         'publishTime': pg.date, 'content': content},
             'related': [{'title': h, 'url': '/a/%d' % i} for i, h in enumerate(pg.related[:5])]}
    blob = json.dumps(state, ensure_ascii=pg.rng.random() < 0.5).replace('</', '<\\/')
    page = pg.head('utf-8')
    page += '<body><div id="root"><div class="header">%s</div><div class="loading">加载中……</div></div>\n' % pg.nav('nav')
    page += '<script>window.__INITIAL_STATE__=%s;</script>\n' % blob
    page += '<script src="/static/js/main.8f3a2c.js"></script>\n' + pg.footer() + '</body></html>\n'
    return page, pg.gold()


LAYOUTS = [
    ('portal', lambda pg: portal(pg)), ('portal-plain', lambda pg: portal(pg, neutral=True)),
    ('table', old_table), ('blog', blog), ('forum', forum), ('wiki', wiki), ('docs', docs),
    ('comments', lambda pg: heavy_comments(pg, True)), ('comments-plain', lambda pg: heavy_comments(pg, False)),
    ('listing', listing), ('mobile', mobile), ('account', account), ('gov', government),
    ('feed', feed), ('keywords', keywords), ('baike', baike), ('weixin', weixin),
    ('techblog', techblog), ('netease', netease), ('spa', spa),
]
# Which encoding each layout is written in: GB sites are the old ones.
GB_LAYOUTS = {'table', 'forum', 'gov', 'keywords', 'netease'}


def main():
    for f in os.listdir(HERE):
        if f.endswith('.html') or f.endswith('.txt'):
            os.remove(os.path.join(HERE, f))
    rng = random.Random(20240611)
    number = 0
    for round_ in range(4):
        for name, make in LAYOUTS:
            if name in ('listing', 'feed', 'keywords', 'baike', 'weixin', 'techblog', 'netease', 'spa') and round_ >= 2:
                continue
            topic = TOPICS[(number * 5 + round_) % len(TOPICS)]
            if name == 'gov':
                topic = 'public'
            pg = Page(rng, topic, round_)
            page, gold = make(pg)
            number += 1
            base = '%02d-%s' % (number, name)
            gb = name in GB_LAYOUTS or (name in ('portal', 'comments') and round_ % 2 == 1)
            if gb:
                page = page.replace('charset=utf-8', 'charset=gbk').replace('charset="utf-8"', 'charset="gbk"')
                page = page.replace('charset=UTF-8', 'charset=gbk').replace('charset="UTF-8"', 'charset="gbk"')
            data = page.encode('gb18030') if gb else page.encode('utf-8')
            with open(os.path.join(HERE, base + '.html'), 'wb') as f:
                f.write(data)
            with open(os.path.join(HERE, base + '.txt'), 'w', encoding='utf-8') as f:
                f.write(gold)


if __name__ == '__main__':
    main()
