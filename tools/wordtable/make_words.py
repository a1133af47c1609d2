#!/usr/bin/env python3
"""Shapes filter/table/words.txt, the banned-word table of the filter library.

    python3 tools/wordtable/make_words.py --source DIR [--out PATH]

Inputs:
  --source DIR (required): the Apache-2.0 word lists
      of houbb/sensitive-word, its merged dictionary and its category files;
  english_badwords.txt: the English list of the npm package badwords-list (MIT), extracted by
      extract_english.py;
  english_cuss.txt: the English map of the npm package cuss (MIT), extracted by extract_cuss.py;
  supplement.txt: entries written for this project (game-hall cheating, trading and spam terms)
      and the spaced spellings the table carries;
  exclude.txt: everyday words, political topics, religions and personal names to leave out;
  ordinary text (cleantext.py, from three Debian packages): no entry may fire in it.

The table has a fixed profile (group sizes, ASCII, spacing, duplicate, length and redundancy
figures; filter/table/wordtable.py computes and prints them). The generator meets it in four
steps: it turns the sources into themed candidate pools, places the entries that the profile
pins down by hand (the shortest and longest entries, the spaced ones, the digit-only ones), fills
each group from its pool in source order, and then swaps pool entries in and out until every
figure is met. Everything is deterministic: the swaps draw from a generator with a fixed
start, so the same inputs always give the same words.txt.
"""

import argparse
import os
import random
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "filter", "table"))
import wordtable  # noqa: E402
from cleantext import CleanText  # noqa: E402

RANDOM_START = 20240407

GROUPS = 6
SIZES = wordtable.GROUP_SIZES
TARGET = wordtable.TARGET
# Lengths in GBK bytes that a group's entries may have; the ends are held by placed entries.
MIN_LEN = TARGET["group_shortest"]
MAX_LEN = TARGET["group_longest"]

GROUP_THEMES = [
    "abuse, insults and vulgar words",
    "English list, sexual terms",
    "pornography and sex services",
    "weapons, explosives and violence",
    "gambling, game cheating, fraud, advertising and spam",
    "drugs",
]

# The merged dictionary is stored normalised: Chinese numerals became digits and Latin letters
# lower case. Single digits that stand for a numeral are turned back (6合彩 -> 六合彩); runs of
# digits are model numbers or contact numbers and stay. Latin abbreviations that are normally
# written in capitals may be restored (qq -> QQ); the filter compares case-sensitively, so the
# generator may choose either spelling for such an entry.
NUMERALS = "零一二三四五六七八九"
UPPER_TOKENS = {
    "qq", "av", "sm", "gm", "tnt", "ak", "diy", "vip", "ktv", "dvd", "vcd", "id", "k", "b",
    "p", "a", "c", "gv", "bt", "pcp", "lsd", "ppk", "awp", "sog", "tv", "ip", "sb", "jb",
    "nmd", "tmd", "mm", "gg", "cd", "mba", "cs", "ic", "ktv", "sim", "usb", "gps", "atm",
}

# Theme patterns, tried in this order; the first that matches decides an entry's theme, and
# the theme (with the entry's length, see groups_for) the groups it may go to.
THEMES = [
    ("drugs", [5, 4], r"冰毒|k粉|k仔|麻古|麻果|马古|海洛因|海luo因|大麻|可卡因|古柯|摇头丸|摇头药|"
     r"鸦片|吗啡|氯胺酮|安非他|苯丙胺|甲卡西酮|卡西酮|杜冷丁|美沙酮|曲马多|唑仑|西泮|安眠酮|"
     r"羟丁酸|罂粟|迷药|迷幻|迷魂|迷情|迷晕|昏迷药|昏药|蒙汗|催情|春药|听话水|失身|乖乖水|"
     r"乖乖粉|神仙水|笑气|嗑药|磕药|吸毒|贩毒|毒贩|毒品|白粉|冰砖|冰钻|水晶冰|奶油冰|"
     r"冰古|黄冰|白冰|纯冰|骚冰|臊冰|麻黄素|麻黄碱|lsd|mdma|ketamine|heroin|cocain|morphine|"
     r"cannabis|致幻|麦角|大烟|烟膏|芬太尼|可待因|兴奋剂|咖啡因片|k他命"),
    ("weapons", [3, 4], r"枪|手狗|长狗|短狗|气狗|汽狗|火狗|电狗|步狗|木仓|炸药|雷管|导爆|引爆|"
     r"炸弹|燃烧弹|手雷|军火|弹药|子弹|铅弹|钢珠|弓弩|弩|军刺|匕首|砍刀|开山刀|蝴蝶刀|弹簧刀|"
     r"跳刀|三棱刀|管制刀|军刀|警棍|电棍|电击器|手铐|手拷|催泪|黑索金|硝铵|硝化甘油|"
     r"硝酸甘油|tnt|c4|原子弹|氢弹|核弹|毒气|沙林|芥子气|杀手|雇凶|买凶|砍死|爆炸物|起爆"),
    ("gambling", [4], r"赌|博彩|百家乐|娱乐城|真钱|现金棋牌|六合彩|时时彩|老虎机|轮盘|私彩|"
     r"黑彩|菠菜|外挂|开挂|私服|代练|代打|代充|刷分|刷钻|刷q币|刷信誉|刷单|盗号|作弊|改号|"
     r"千术|出千|记牌|看牌|换牌|上分器|银商|金币回收|发票|办证|假证|文凭|学历|毕业证|"
     r"身份证|驾照|驾驶证|假币|假钞|伪钞|答案|替考|代考|考试|窃听|监听|卧底软件|定位软件|"
     r"开锁|解码器|干扰器|屏蔽器|套现|洗钱|传销|诈骗|黑客|木马|盗取|客户资料|车主资料|"
     r"股民资料|公民信息|个人信息|隐形耳机|针孔"),
    ("sex", [1, 2], r"淫|奸|屄|逼|肏|乳|穴|阴道|阴唇|阴茎|阴蒂|阴毛|阴户|阴部|鸡巴|鸡吧|几吧|"
     r"几巴|机巴|性交|做爱|作爱|造爱|裸|色情|黄色|黄片|情色|a片|av|三级片|成人|艳|骚|嫖|妓|"
     r"援交|口交|口爆|口活|肛|精液|射精|自慰|手淫|乱伦|人妻|少妇|熟女|处女|龟头|屌|高潮|"
     r"情趣|一夜情|约炮|3p|porn|sex|色狼|性爱|性奴|调教|偷拍|走光|露点|包夜|楼凤|上门服务|"
     r"全套|激情视频|激情电影|激情图片|激情小说|激情聊天|毛片|黄站|色站|强暴|操|干死|插入|"
     r"抽插|吹箫|舔|屁眼|爆菊|肉棒|春宫|女优|巨乳|爆乳|丰乳|美乳|酥胸|胸推|毒龙|足交|群交|"
     r"兽交|男妓|应召|坐台|三陪|陪睡"),
    ("abuse", [0], r"傻|煞笔|沙比|婊|贱|妈的|你妈|他妈|她妈|尼玛|泥马|操你|草你|干你|日你|"
     r"肏你|曰你|艹你|滚|杂种|王八|混蛋|畜生|禽兽|狗日|狗娘|狗屎|白痴|蠢|脑残|智障|弱智|"
     r"废物|人渣|死全家|去死|野种|孬种|贱人|骚货|烂货|你大爷|祖宗|老母|娘的|龟儿子|瘪三|"
     r"sb|nmd|tmd|cnm|nmb|fuck|shit|bitch|你爸|你爹|你娘|你姥|你奶|你爷"),
    ("ads", [4], r"qq|微信|加我|加q|加v|电话|网址|www|http|\.com|\.net|代办|代开|加盟|兼职|"
     r"招聘|日赚|日结|刷单|联系|出售|供应|批发|销售|专卖|直销|转让|订购|购买|买卖|提供|"
     r"求购|出货|到货|货到付款|代孕|贷款|群发|推广|领取|中奖|恭喜|赚钱|网赚"),
]
THEME_RE = [(name, groups, re.compile(pattern)) for name, groups, pattern in THEMES]
THEME_GROUPS = {name: groups for name, groups, _ in THEMES}

# Sexual entries about media, sites and services go to group 3; plain terms to group 2.
MEDIA_RE = re.compile(r"下载|电影|视频|图|小说|txt|网|论坛|站|qq|服务|上门|聊|影院|在线|"
                      r"播放|全集|导航|贴|社区|俱乐部|自拍|偷拍|激情|短片|动漫|漫画|游戏|"
                      r"合集|专区|大全|直播|录像")
# Sexual words used as swearing go with the abuse of group 1.
VULGAR_RE = re.compile(r"操|肏|屄|逼|屌|鸡巴|鸡吧|几吧|几巴|机巴|干死|干你|日你|插你|骚|贱|婊|"
                       r"奸你|奸她|强奸你|舔")
# Offers to sell or contact: such entries of the weapon and drug themes are also advertising.
SELLING_RE = re.compile(r"qq|电话|出售|供应|批发|销售|专卖|直销|转让|订购|购买|买卖|提供|求购|"
                        r"出货|到货|货到付款")
# Source artefacts: the merged dictionary also holds every entry prefixed with 毛 or fuck and
# suffixed with 靠, which nobody writes.
ARTEFACT_RE = re.compile(r"^(毛|fuck)|靠$")
# Ordinary words that contain a character the theme patterns look for (操作 operate, 体操
# gymnastics); entries holding them are left out rather than risk a false theme.
FALSE_FRIENDS_RE = re.compile(r"操作|操心|操场|操练|体操|节操|情操|操纵|操控|操守|操持|操办|"
                              r"操劳|操盘|出操|早操|操刀|操行|干部|干净|干杯|干活|干嘛|日记|"
                              r"日报|日期|生日|节日")
CJK_RE = re.compile(r"[\u4e00-\u9fff]")
PLAIN_RE = re.compile(r"^[\u4e00-\u9fffA-Za-z0-9]+$")


class Candidate:
    """One possible table entry."""

    __slots__ = ("text", "data", "groups", "tier", "order", "key", "origin", "index")

    def __init__(self, text, groups, tier, order, origin, key=None):
        self.text = text
        self.data = text.encode("gbk")
        self.groups = groups
        self.tier = tier
        self.order = order
        self.origin = origin
        # Candidates sharing a key are alternative spellings of one dictionary entry; the table
        # takes at most one of them.
        self.key = key if key is not None else text
        self.index = -1


def read_lines(path):
    with open(path, encoding="utf-8") as f:
        return [line.rstrip("\n").rstrip("\r") for line in f]


def read_sections(path):
    """Sections of a data file: '[name]' headers, '#' comments, entries (quoted when they begin
    or end with a space, as in words.txt)."""
    sections = {}
    current = None
    for line in read_lines(path):
        if not line or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], [])
            continue
        if line.startswith('"') and line.endswith('"') and len(line) >= 2:
            line = line[1:-1]
        if current is None:
            raise SystemExit("%s: entry before the first section: %r" % (path, line))
        current.append(line)
    return sections


def gbk_ok(text):
    try:
        data = text.encode("gbk")
    except UnicodeEncodeError:
        return False
    return wordtable.gbk_problem(data) is None


def denormalise(text):
    """Turns single digits that stand for Chinese numerals back into numerals."""
    def repl(m):
        start, end = m.span()
        before = text[start - 1] if start > 0 else ""
        after = text[end] if end < len(text) else ""
        if (before.isascii() and before.isalnum()) or (after.isascii() and after.isalnum()):
            return m.group(0)
        if not (CJK_RE.match(before or " ") or CJK_RE.match(after or " ")):
            return m.group(0)
        return NUMERALS[int(m.group(0))]
    return re.sub(r"[0-9]", repl, text)


def upper_variant(text):
    """The spelling with the usual capitals of Latin abbreviations, or None when it is the
    same."""
    def repl(m):
        token = m.group(0)
        return token.upper() if token in UPPER_TOKENS else token
    variant = re.sub(r"[a-z]+", repl, text)
    return variant if variant != text else None


class Exclusions:
    def __init__(self, source, path):
        sections = read_sections(path)
        self.words = {w.lower() for w in sections.get("word", [])}
        containing = [w.lower() for w in sections.get("containing", [])]
        # The source's own political, cult, personal-name and news lists. The political list's
        # one- and two-character items are often ordinary words (公司, 人民, 信号), so those are
        # only dropped on an exact match; names and the rest also inside other entries.
        for name in ("政治类.txt", "邪教.txt", "人名.txt"):
            for line in read_lines(os.path.join(source, name)):
                item = line.strip().rstrip(",").lower()
                if not item or item in KEEP_DESPITE_LISTS:
                    continue
                shortest = 3 if name == "政治类.txt" else 2
                if len(item) >= shortest and CJK_RE.search(item):
                    containing.append(item)
                else:
                    self.words.add(item)
        for name in ("新闻实事.txt", "房产.txt"):
            for line in read_lines(os.path.join(source, name)):
                item = line.strip().lower()
                if item:
                    self.words.add(item)
        self.containing = sorted(set(containing), key=len)
        self.containing_re = re.compile("|".join(re.escape(c) for c in self.containing))

    def rejects(self, text):
        low = text.lower()
        return low in self.words or self.containing_re.search(low) is not None


# Items of those lists that are no name, cult or politics here: a drug, an invoice dodge, the
# start of a sexual term, a knife brand, a poison gas and a casino's 赛马会.
KEEP_DESPITE_LISTS = {"三唑仑", "发瞟", "车库", "颜射", "林军", "路易", "马会"}


def theme_of(text):
    low = text.lower()
    for name, _, pattern in THEME_RE:
        if pattern.search(low):
            return name
    return None


def groups_for(text, theme):
    """The groups an entry of this theme may go to, preferred first; empty when its length
    fits none of them."""
    n = len(text.encode("gbk"))
    low = text.lower()
    if theme == "sex":
        if MEDIA_RE.search(low) or n > 16:
            options = [2, 1]
        elif VULGAR_RE.search(low):
            options = [0, 1, 2]
        else:
            options = [1, 0, 2]
    elif theme == "weapons":
        options = [3, 4] if SELLING_RE.search(low) else [3]
    elif theme == "drugs":
        options = [5, 4] if SELLING_RE.search(low) else [5]
    else:
        options = THEME_GROUPS[theme]
    return [g for g in options if MIN_LEN[g] <= n <= MAX_LEN[g]]


class Sources:
    def __init__(self, source):
        self.source = source
        self.exclude = Exclusions(source, os.path.join(HERE, "exclude.txt"))
        self.supplement = read_sections(os.path.join(HERE, "supplement.txt"))
        self.english = [w for w in read_lines(os.path.join(HERE, "english_badwords.txt"))
                        if w and not w.startswith("#")]
        # cuss: word, tab, sureness rating; only the words rated likely profane are used.
        self.cuss = [line.split("\t")[0].replace(" ", "")
                     for line in read_lines(os.path.join(HERE, "english_cuss.txt"))
                     if line and not line.startswith("#") and line.endswith("\t2")]
        self.category = {}
        for name in ("辱骂", "色情类", "广告", "毒品", "暴力", "不正当竞争", "其他"):
            self.category[name] = read_lines(os.path.join(source, name + ".txt"))
        self.dictionary = read_lines(os.path.join(source, "dict_v20240407.txt"))
        # Words that are vulgar themselves may carry a vulgar entry ("bullshit" holds "shit").
        vulgar = [w.lower() for w in self.english + self.supplement.get("english", [])]
        self.clean = CleanText(vulgar)
        self._fires = {}

    def fires_in_clean_text(self, text):
        if text not in self._fires:
            self._fires[text] = bool(self.clean.hits(text))
        return self._fires[text]


# Category files and the themes they feed. 其他 and 不正当竞争 are mixed bags; their entries
# are only taken when a theme pattern claims them.
CATEGORY_THEMES = {"辱骂": "abuse", "色情类": "sex", "广告": "ads", "毒品": "drugs",
                   "暴力": "weapons", "不正当竞争": None, "其他": None}
SUPPLEMENT_THEMES = {"abuse": "abuse", "sex": "sex", "gambling": "gambling", "ads": "ads",
                     "drugs": "drugs", "weapons": "weapons"}

TIER_PLACED, TIER_CORE, TIER_ENGLISH, TIER_DICT = 0, 1, 2, 3


class Pool:
    """All candidates, each string once, with the group it would go to."""

    def __init__(self):
        self.by_text = {}
        self.items = []

    def add(self, text, groups, tier, origin, key=None):
        if text in self.by_text:
            return self.by_text[text]
        c = Candidate(text, groups, tier, len(self.items), origin, key)
        c.index = len(self.items)
        self.items.append(c)
        self.by_text[text] = c
        return c


def build_pool(src):
    pool = Pool()
    ex = src.exclude

    def admissible(text):
        return (text and gbk_ok(text) and not ex.rejects(text)
                and not FALSE_FRIENDS_RE.search(text) and not src.fires_in_clean_text(text))

    # Core: the category files and this project's supplement, in their own order.
    for name, lines in list(src.category.items()):
        for line in lines:
            # Spaced entries of the sources are placed by name (SOURCE_SPACED).
            text = line.strip()
            if " " in text or not PLAIN_RE.match(text) or not admissible(text):
                continue
            # A category file's own theme decides, except that drugs, weapons and gambling
            # also listed under abuse or violence go where those belong.
            theme = theme_of(text)
            if theme not in ("drugs", "weapons", "gambling") and CATEGORY_THEMES[name]:
                theme = CATEGORY_THEMES[name]
            if theme is None:
                continue
            if text.isascii():
                # ASCII words of the Chinese lists join the English part.
                continue
            groups = groups_for(text, theme)
            if groups:
                pool.add(text, groups, TIER_CORE, name)
    for text in src.supplement.get("english", []):
        for variant in ([text, text.capitalize(), text.upper()] if text in ENGLISH_CASED
                        else [text]):
            if admissible(variant):
                pool.add(variant, [1], TIER_CORE, "supplement")
    # Stems taken although they fire in a few ordinary words, each named in supplement.txt.
    for text in src.supplement.get("english accepted", []):
        if gbk_ok(text) and not ex.rejects(text):
            pool.add(text, [1], TIER_CORE, "supplement")
    for section, lines in src.supplement.items():
        theme = SUPPLEMENT_THEMES.get(section)
        if theme is None:
            continue
        for text in lines:
            if " " in text or not admissible(text):
                continue
            if text == "fuckingshitmotherfucker":
                continue  # placed as the longest entry of group 1
            if text.isascii() and theme != "abuse":
                continue
            groups = [0] if (text.isascii() and theme == "abuse") else groups_for(text, theme)
            if groups:
                pool.add(text, groups, TIER_CORE, "supplement")

    # Spelled without their spaces, the spaced entries are words the filter can find.
    for name, g, entries in spaced_entries(src):
        for text in entries:
            twin = text.replace(" ", "")
            # The ASCII entries of group 1 are the pinyin abbreviations; English goes to 2.
            h = 1 if twin.isascii() else g
            if admissible(twin) and MIN_LEN[h] <= len(twin.encode("gbk")) <= MAX_LEN[h]:
                pool.add(twin, [h], TIER_CORE, "unspaced")

    # English: the npm list and the ASCII words of the Chinese lists, each also capitalised and
    # in capitals (the filter is case-sensitive, and chat writes all three). A word of the npm
    # lists that occurs in a dictionary word, its own included, is left out unless this
    # project's own words name it: the lists hold ordinary words (fagot, bestial, vomit, yank)
    # and spellings that fire in them (pussi in pussier).
    own = {w.lower() for w in src.supplement.get("english", [])}

    def listed_only(w):
        return w.lower() not in own and src.clean.in_dictionary_word(w)

    english = []
    for w in src.english:
        if ex.rejects(w) or " " in w or src.fires_in_clean_text(w) or listed_only(w):
            continue
        english.append(w)
    for name in ("辱骂", "色情类", "广告", "毒品", "其他"):
        for line in src.category[name]:
            w = line.strip()
            if (w.isascii() and w and " " not in w and not w.isdigit()
                    and theme_of(w) is not None and not ex.rejects(w)):
                english.append(w)
    for w in english:
        if len(w) < MIN_LEN[1] or len(w) > MAX_LEN[1] or src.fires_in_clean_text(w):
            continue
        c = pool.add(w, [1], TIER_ENGLISH, "english", key=w)
        # Plain words ahead of spellings with digits and signs (b!tch, 4r5e).
        if c.origin == "english" and not w.isalpha():
            c.order += 1_000_000
    # cuss, a second English list, brings spellings and slurs the first one lacks.
    for w in src.cuss:
        if (MIN_LEN[1] <= len(w) <= MAX_LEN[1] and w.isascii() and not ex.rejects(w)
                and not src.fires_in_clean_text(w) and not listed_only(w)):
            c = pool.add(w, [1], TIER_ENGLISH, "cuss", key=w)
            if c.origin == "cuss":
                c.order += 2_000_000
    for w in english:
        for variant in (w[:1].upper() + w[1:], w.upper()):
            if (variant != w and MIN_LEN[1] <= len(variant) <= MAX_LEN[1]
                    and not src.fires_in_clean_text(variant)):
                pool.add(variant, [1], TIER_ENGLISH, "english-case", key=variant)

    # The merged dictionary, restored from its normalised form.
    for line in src.dictionary:
        raw = line.strip()
        if not raw or ARTEFACT_RE.search(raw) or not PLAIN_RE.match(raw) or raw.isascii():
            continue
        text = denormalise(raw)
        if not admissible(text):
            continue
        theme = theme_of(text)
        if theme is None:
            continue
        groups = groups_for(text, theme)
        if not groups:
            continue
        c = pool.add(text, groups, TIER_DICT, "dict", key=text.lower())
        c.order += len(c.data) * 1_000_000
        variant = upper_variant(text)
        if variant and admissible(variant) and c.tier == TIER_DICT:
            v = pool.add(variant, groups, TIER_DICT, "dict-caps", key=c.key)
            v.order += len(v.data) * 1_000_000
    return pool


# Spaced entries taken from the sources as they are: (source file, group, entries). Of the
# source's other spaced entries, the weapon adverts of 暴力.txt with a space in the middle are
# left out; group 4 holds the ten below.
SOURCE_SPACED = [
    ("暴力", 3, ["出售炸药 电话", "TNT 炸弹的制作", "炸药出售 ", "燃烧弹的制作方 ",
                "哪里能买到自制手枪  ", "自制手枪哪里买  ", "组装手枪  ", "弓弩网 ", "制作简易弓弩 ",
                "弓弩论坛 "]),
    ("不正当竞争", 4, ["联 通 贵宾 卡"]),
    ("其他", 1, ["fuck your mother"]),
]
# The six two-byte entries: the one-character obscenity and five two-letter abbreviations of
# insults, those that occur least in ordinary text ("sb" and "SB" would flag Lisbon, USB and
# /sbin, "2B" a release named 12 Bookworm).
TWO_BYTE = ["屄", "JB", "J8", "jb", "j8", "Sb"]
# English words of the supplement that are also entered capitalised and in capitals.
ENGLISH_CASED = {"fuck", "fucker", "fucking", "fuckyou", "motherfucker", "shit", "bullshit",
                 "bitch", "asshole", "cunt", "pussy", "dickhead", "cocksucker", "bastard",
                 "whore", "slut", "wanker", "porn", "nigger", "faggot", "stfu", "gtfo"}
LONGEST_ABUSE = "fuckingshitmotherfucker"
# Surplus copies: 16 repeats inside group 1, then strings listed under two themes and kept in
# both groups: (first group, second group, how many). The first pair's first TRIPLES strings
# also appear in group 3.
WITHIN_GROUP_1 = 16
CROSS_COPIES = [(0, 1, 40), (1, 2, 32), (3, 4, 30), (4, 5, 18)]
TRIPLES = 8
DIGIT_ENTRIES = 9
ENGLISH_FREE = 0
CONTACT_RE = re.compile(r"^(?:qq|q|[a-z]{1,8})?([0-9]{9,10})[\u4e00-\u9fff]{0,8}$")


class Layout:
    """The table being built: six groups of slots, each holding a candidate, with every
    figure of the profile kept up to date as slots change."""

    def __init__(self, pool):
        self.cands = pool.items
        n = len(self.cands)
        self.length = [len(c.data) for c in self.cands]
        self.ascii = [max(c.data) < 0x80 for c in self.cands]
        singles = [wordtable.single_byte_chars(c.data) for c in self.cands]
        self.mixed = [bool(s) and not a for s, a in zip(singles, self.ascii)]
        self.letter = [any(chr(b).isalpha() for b in s) for s in singles]
        self.upper = [any(0x41 <= b <= 0x5A for b in s) for s in singles]
        self.subs, self.supers = self._containment()
        self.count = [0] * n
        self.nsub = [0] * n
        self.slots = [[] for _ in range(GROUPS)]
        self.fixed = [[] for _ in range(GROUPS)]
        self.copy = [[] for _ in range(GROUPS)]
        self.keys = {}
        self.asc_g = [0] * GROUPS
        self.n_mixed = self.n_letter = self.n_upper = self.total = 0
        self.below = self.above = self.contain = 0

    def _containment(self):
        """For every candidate, the candidates it contains (wordtable's definition: a shorter
        entry starting at one of its character boundaries) and those containing it."""
        index = {c.data: c.index for c in self.cands}
        lengths = sorted({len(d) for d in index})
        subs = []
        supers = [[] for _ in self.cands]
        for c in self.cands:
            found = set()
            data = c.data
            for start in wordtable.char_starts(data):
                for n in lengths:
                    if n >= len(data) or start + n > len(data):
                        break
                    j = index.get(data[start:start + n])
                    if j is not None:
                        found.add(j)
            subs.append(found)
            for j in found:
                supers[j].append(c.index)
        return subs, supers

    def put(self, i, g, fixed=False, copy=False):
        self.slots[g].append(i)
        self.fixed[g].append(fixed)
        self.copy[g].append(copy)
        self._add(i, g)

    def _add(self, i, g):
        self.count[i] += 1
        if self.count[i] == 1:
            for y in self.supers[i]:
                self.nsub[y] += 1
                if self.nsub[y] == 1 and self.count[y]:
                    self.contain += self.count[y]
        if self.nsub[i]:
            self.contain += 1
        key = self.cands[i].key
        self.keys[key] = self.keys.get(key, 0) + 1
        self._figures(i, g, 1)

    def _remove(self, i, g):
        if self.nsub[i]:
            self.contain -= 1
        self.count[i] -= 1
        if self.count[i] == 0:
            for y in self.supers[i]:
                self.nsub[y] -= 1
                if self.nsub[y] == 0 and self.count[y]:
                    self.contain -= self.count[y]
        self.keys[self.cands[i].key] -= 1
        self._figures(i, g, -1)

    def _figures(self, i, g, d):
        self.asc_g[g] += d * self.ascii[i]
        self.n_mixed += d * self.mixed[i]
        self.n_letter += d * self.letter[i]
        self.n_upper += d * self.upper[i]
        n = self.length[i]
        self.total += d * n
        self.below += d * (n < 10)
        self.above += d * (n > 10)

    def replace(self, g, slot, j):
        i = self.slots[g][slot]
        self._remove(i, g)
        self.slots[g][slot] = j
        self._add(j, g)
        return i

    def usable(self, j, replacing=None):
        if self.count[j]:
            return False
        key = self.cands[j].key
        held = self.keys.get(key, 0)
        return held == 0 or (replacing is not None and held == 1
                             and self.cands[replacing].key == key)

    def error(self):
        half = sum(SIZES) // 2 - 1  # entries allowed strictly below (or above) the median
        return (3 * abs(self.asc_g[0] - TARGET["group_ascii_only"][0])
                + 3 * abs(self.asc_g[1] - TARGET["group_ascii_only"][1])
                + abs(self.n_mixed - TARGET["mixed"])
                + abs(self.n_letter - TARGET["with_letter"])
                + abs(self.n_upper - TARGET["with_upper"])
                + abs(self.total - TARGET["total_bytes"])
                + 2 * max(0, self.below - half) + 2 * max(0, self.above - half)
                + abs(self.contain - TARGET["containing_shorter"]))

    def describe(self):
        return ("ascii %s mixed %d letter %d upper %d bytes %d below10 %d above10 %d "
                "containing %d" % (self.asc_g[:2], self.n_mixed, self.n_letter, self.n_upper,
                                   self.total, self.below, self.above, self.contain))


def spaced_entries(src):
    """The spaced entries as (origin, group, entries)."""
    out = []
    for name, g, entries in SOURCE_SPACED:
        lines = set(src.category[name])
        for text in entries:
            if text not in lines:
                raise SystemExit("%s.txt no longer holds %r" % (name, text))
        out.append((name, g, entries))
    out.append(("english", 1, [w for w in src.english if " " in w]))
    for section, lines in src.supplement.items():
        m = re.match(r"spaced (\d)$", section)
        if m:
            out.append(("supplement", int(m.group(1)) - 1, lines))
    return out


def place_specials(pool, src):
    """The entries the profile pins down, as (candidate, group) in placing order."""
    placed = []

    def special(text, g, tier=TIER_CORE, origin="placed"):
        if not gbk_ok(text):
            raise SystemExit("placed entry %r is not valid GBK" % text)
        c = pool.add(text, [g], tier, origin, key=text)
        c.groups = [g]
        c.tier = min(c.tier, tier)
        placed.append((c, g))
        return c

    for text in TWO_BYTE:
        special(text, 0, TIER_PLACED)
    special(LONGEST_ABUSE, 0)
    for name, g, entries in spaced_entries(src):
        for text in entries:
            special(text, g, TIER_ENGLISH if name == "english" else TIER_CORE, name)
    # Contact numbers of spam accounts: the dictionary lists them with a prefix or a word
    # attached (qq759423492, 553837820聊); chat writes them bare.
    digits = []
    for line in src.dictionary:
        m = CONTACT_RE.match(line.strip())
        if m and m.group(1) not in digits:
            digits.append(m.group(1))
    for run in digits[:DIGIT_ENTRIES]:
        special(run, 1, TIER_DICT, "dict-contact")
    # The longest and shortest entry of each group, taken from the group's own candidates.
    taken = {c.index for c, _ in placed}
    for g in range(GROUPS):
        for n in (MAX_LEN[g], MIN_LEN[g]):
            if any(len(c.data) == n for c, h in placed if h == g):
                continue
            # When the group's own themes have no entry of that length, the first of any
            # theme stands in (the contact spam of the dictionary runs longest).
            fits = [c for c in pool.items
                    if len(c.data) == n and c.index not in taken and " " not in c.text
                    and not (g >= 2 and c.data.isascii())]
            fits.sort(key=lambda c: (g not in c.groups, c.tier, c.order))
            if not fits:
                raise SystemExit("no candidate of %d bytes for group %d" % (n, g + 1))
            fits[0].groups = [g]
            placed.append((fits[0], g))
            taken.add(fits[0].index)
    return placed


def eligible(layout, c, g):
    """Whether a free slot of group g may hold candidate c."""
    data = c.data
    if g not in c.groups or not (MIN_LEN[g] <= len(data) <= MAX_LEN[g]):
        return False
    if b" " in data or data.isdigit() or len(data) == 2:
        return False
    return not (g >= 2 and data.isascii())


def choose_english(layout, pool, src, special_ids):
    """Fills group 2's English entries, all but ENGLISH_FREE of its ASCII slots, by what they
    catch. An entry that contains a shorter chosen entry catches nothing that one does not, so
    it is skipped. First this project's words and the capitals of the commonest ones, then the
    two npm lists' words: those more lists name first, then those that catch more of the
    words all three lists name (a stem such as "fuck" catches "fucker" and "motherfucking")."""
    room = (TARGET["group_ascii_only"][1] - ENGLISH_FREE
            - sum(1 for i in layout.slots[1] if layout.ascii[i]))
    chosen = {i for g in (0, 1) for i in layout.slots[g] if layout.ascii[i]}
    lists = [{w.replace(" ", "").lower() for w in words}
             for words in (src.english, src.supplement.get("english", []), src.cuss)]
    vocabulary = set().union(*lists)
    cands = [c for c in pool.items
             if c.index not in special_ids and c.data.isascii() and eligible(layout, c, 1)]

    def rank(c):
        low = c.text.lower()
        named = sum(low in words for words in lists)
        catches = sum(low in w for w in vocabulary)
        return (c.tier != TIER_CORE, c.text != low, -named, -catches, c.tier, c.order)

    for c in sorted(cands, key=rank):
        if room == 0:
            break
        if layout.cands[c.index].data.isascii() and not layout.usable(c.index):
            continue
        if any(j in chosen for j in layout.subs[c.index]):
            continue
        layout.put(c.index, 1, fixed=True)
        chosen.add(c.index)
        room -= 1


def build_layout(pool, src):
    placed = place_specials(pool, src)
    layout = Layout(pool)
    special_ids = {c.index for c, _ in placed}
    for c, g in placed:
        layout.put(c.index, g, fixed=True)

    # The English words of group 2 are chosen by what they catch (choose_english).
    choose_english(layout, pool, src, special_ids)
    # Core entries stay where their theme puts them. Their ASCII words remain movable: the
    # number of ASCII entries in groups 1 and 2 is part of the profile.
    for c in pool.items:
        if (c.tier == TIER_CORE and c.index not in special_ids and layout.count[c.index] == 0
                and not (c.data.isascii() and c.groups[0] == 1)):
            g = c.groups[0]
            if eligible(layout, c, g) and layout.usable(c.index):
                layout.put(c.index, g, fixed=True)

    # Surplus copies.
    placed_in = {}
    for g in range(GROUPS):
        for i in layout.slots[g]:
            placed_in.setdefault(i, g)
    g1_core = [i for i, f in zip(layout.slots[0], layout.fixed[0])
               if f and pool.items[i].tier == TIER_CORE and not pool.items[i].data.isascii()
               and len(pool.items[i].data) >= 4 and i not in special_ids]
    step = max(1, len(g1_core) // WITHIN_GROUP_1)
    for i in g1_core[::step][:WITHIN_GROUP_1]:
        layout.put(i, 0, fixed=True, copy=True)
    copied = set(g1_core[::step][:WITHIN_GROUP_1])
    first_pair = []
    for a, b, howmany in CROSS_COPIES:
        if a == 1 and b == 2:
            for i in first_pair[:TRIPLES]:
                layout.put(i, 2, fixed=True, copy=True)
        chosen = []
        order = sorted(pool.items, key=lambda c: (placed_in.get(c.index) != a, c.tier, c.order))
        for c in order:
            if len(chosen) == howmany:
                break
            i = c.index
            if (i in special_ids or i in copied or c.data.isascii() or len(c.data) < 4
                    or not eligible(layout, c, a) or not eligible(layout, c, b)):
                continue
            if a == 0 and b == 1 and 2 in c.groups and len(first_pair) < TRIPLES:
                if not eligible(layout, c, 2):
                    continue
            if placed_in.get(i) is None:
                if not layout.usable(i):
                    continue
                layout.put(i, a, fixed=True)
                placed_in[i] = a
            elif placed_in[i] != a:
                continue
            else:
                slot = layout.slots[a].index(i)
                layout.fixed[a][slot] = True
            layout.put(i, b, fixed=True, copy=True)
            chosen.append(i)
            copied.add(i)
            if a == 0 and b == 1 and 2 in c.groups and len(first_pair) < TRIPLES:
                first_pair.append(i)
        if len(chosen) < howmany:
            raise SystemExit("only %d strings fit both group %d and group %d"
                             % (len(chosen), a + 1, b + 1))

    # Everything else from the pools, preferred group first, then in source order; the search
    # swaps these until the profile is met.
    for g in range(GROUPS):
        order = sorted((c for c in pool.items if eligible(layout, c, g)),
                       key=lambda c: (c.groups.index(g), c.tier, c.order))
        for c in order:
            if len(layout.slots[g]) == SIZES[g]:
                break
            if c.index not in special_ids and layout.usable(c.index):
                layout.put(c.index, g)
        if len(layout.slots[g]) != SIZES[g]:
            raise SystemExit("group %d: %d entries, need %d" % (g + 1, len(layout.slots[g]),
                                                                 SIZES[g]))
    layout.special_ids = special_ids
    return layout


def solve(layout, start=RANDOM_START, limit=8_000_000, verbose=False):
    """Swaps free entries for pool candidates until every figure is met."""
    rnd = random.Random(start)
    cands = layout.cands
    options = [[c.index for c in cands
                if c.index not in layout.special_ids and eligible(layout, c, g)]
               for g in range(GROUPS)]
    free = [[s for s, f in enumerate(layout.fixed[g]) if not f] for g in range(GROUPS)]
    weights = [len(f) for f in free]
    groups = list(range(GROUPS))
    err = layout.error()
    for step in range(limit):
        if err == 0:
            return step
        g = rnd.choices(groups, weights)[0]
        slot = rnd.choice(free[g])
        j = rnd.choice(options[g])
        i = layout.slots[g][slot]
        if not layout.usable(j, replacing=i):
            continue
        layout.replace(g, slot, j)
        new = layout.error()
        if new <= err:
            err = new
        else:
            layout.replace(g, slot, i)
        if verbose and step % 100000 == 0:
            print(step, err, layout.describe(), file=sys.stderr)
    raise SystemExit("no table meets the profile after %d swaps: %s" % (limit,
                                                                       layout.describe()))


HEADER = """\
# The banned-word table of the filter library: {count} entries in six groups, searched in
# order (group 1 first, each group from its first entry to its last; the first entry found in
# a text decides). The build converts this file to GBK and compiles it into the library.
#
# Generated by tools/wordtable/make_words.py from the word lists named in NOTICE.md; change
# the generator's inputs and rerun it rather than editing this file by hand.
#
# Format (read by wordtable.py):
#   - a line starting with '#' is a comment; an empty line is ignored;
#   - "[group N]" starts group N; the six groups appear once each, in order 1 to 6;
#   - any other line is one entry, taken verbatim, in UTF-8 (the library holds it as GBK);
#   - a line that starts with a double quote must end with one, and the entry is what lies
#     between them, verbatim. Entries that begin or end with a space are written this way, and
#     so would be one that starts with '#', '[' or '"'. An unquoted line never begins or ends
#     with whitespace.
#
# The filter removes every space from a text before it searches, so the entries with a space
# can never match; each that names a useful word is also listed without its spaces. A repeated
# entry never changes an answer. Both are kept as the table has always had them. Letters are
# compared case-sensitively, which is why some words appear in several spellings. No entry
# fires inside a word of an English dictionary or a line of classical poetry or of a Chinese
# technical text (tools/wordtable/cleantext.py).
"""


def render(layout):
    cands = layout.cands
    out = [HEADER.format(count=sum(SIZES))]
    for g in range(GROUPS):
        rows = list(zip(layout.slots[g], layout.copy[g]))
        first = sorted((i for i, cp in rows if not cp),
                       key=lambda i: (cands[i].tier, cands[i].order))
        again = sorted((i for i, cp in rows if cp),
                       key=lambda i: (cands[i].tier, cands[i].order))
        out.append("[group %d]" % (g + 1))
        out.append("# %s: %d entries" % (GROUP_THEMES[g], SIZES[g]))
        out.extend(wordtable.format_entry(cands[i].text) for i in first)
        if again:
            out.append("# listed again: also under another theme or in a second source list")
            out.extend(wordtable.format_entry(cands[i].text) for i in again)
        out.append("")
    return "\n".join(out)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--out", default=os.path.join(REPO, "filter", "table", "words.txt"))
    parser.add_argument("--stats", action="store_true", help="print the candidate pools only")
    parser.add_argument("--verbose", action="store_true", help="report the search's progress")
    args = parser.parse_args(argv)
    src = Sources(args.source)
    pool = build_pool(src)
    if args.stats:
        for g in range(GROUPS):
            tiers = [sum(1 for c in pool.items if g in c.groups and c.tier == t)
                     for t in (TIER_CORE, TIER_ENGLISH, TIER_DICT)]
            print("group %d candidates (core, English, dictionary): %s" % (g + 1, tiers))
        return 0
    layout = build_layout(pool, src)
    if args.verbose:
        print("start", layout.error(), layout.describe(), file=sys.stderr)
    steps = solve(layout, verbose=args.verbose)
    if args.verbose:
        print("met after %d swaps" % steps, file=sys.stderr)
    text = render(layout)
    tmp = args.out + ".tmp"
    with open(tmp, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    groups = wordtable.load_groups(tmp)
    profile = wordtable.profile(groups)
    wrong = {k: (v, TARGET[k]) for k, v in profile.items() if TARGET[k] != v}
    if wrong:
        os.remove(tmp)
        raise SystemExit("written table misses the profile: %s" % wrong)
    os.replace(tmp, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
