#include "BenchCases.h"

#include "ReferenceScan.h"
#include "WordTable.h"
#include "publish/GbkText.h"

#include <cstdint>
#include <optional>
#include <stdexcept>

namespace {

// Ordinary talk at a card table: what most texts the filter sees look like.
const char* const kPhrases[] = {
    "大家好",
    "今天运气不错",
    "再来一局吧",
    "快点出牌啊",
    "这把牌真好",
    "谢谢老板",
    "我先走了，明天见",
    "哈哈哈",
    "等一下，我去倒杯水",
    "这局我要赢回来",
    "朋友们晚上好",
    "有人一起打麻将吗",
    "刚才那手牌打得漂亮",
    "网络有点卡",
    "不好意思，刚才掉线了",
    "加油",
    "恭喜发财",
    "下次再来",
    "斗地主三缺一",
    "今天手气太差了",
    "ok",
    "gg",
    "nice",
    "good game",
    "thanks",
    "你们玩到几点？",
    "周末一起组队",
    "这个房间人好多",
    "新手求带",
    "输了也开心",
    "明天早上还要上班",
    "这张牌该怎么出",
    "我们换个桌子吧",
    "看我的",
    "稍等两分钟",
    "刚吃完饭",
    "听说今天有活动",
    "积分又涨了",
    "慢慢来不着急",
    "天气真冷",
    "晚安",
    "早上好",
    "规则我还不太熟",
    "打得真快",
    "好久不见",
};

class Random {
public:
    explicit Random(std::uint32_t start) : state_(start) {}
    unsigned Below(unsigned n) {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 8) % n;
    }

private:
    std::uint32_t state_;
};

std::vector<std::string> CleanPhrases() {
    std::vector<std::string> out;
    for (const char* phrase : kPhrases) {
        const std::optional<std::string> gbk = publish::Utf8ToGbk(phrase);
        if (!gbk) {
            throw std::runtime_error("benchmark phrase has no GBK form");
        }
        if (!taboolex::ReferenceContains(gbk->c_str())) {
            out.push_back(*gbk);
        }
    }
    return out;
}

// Cut back to a character boundary at or below `size`, then padded with full stops.
std::string FitTo(std::string text, size_t size) {
    size_t end = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t n = static_cast<unsigned char>(text[i]) >= 0x81 ? 2 : 1;
        if (i + n > size) {
            break;
        }
        i += n;
        end = i;
    }
    text.resize(end);
    text.append(size - end, '.');
    return text;
}

std::string CleanText(const std::vector<std::string>& phrases, size_t size, std::uint32_t stream) {
    const char* const separators[] = {"，", "。", " ", "！", "～", "  "};
    std::string gbkSeparators[6];
    for (int i = 0; i < 6; ++i) {
        gbkSeparators[i] = publish::Utf8ToGbk(separators[i]).value_or("");
    }
    for (std::uint32_t attempt = 0; attempt < 1000; ++attempt) {
        Random random(stream * 7919u + attempt);
        std::string text;
        while (text.size() < size) {
            text += phrases[random.Below(static_cast<unsigned>(phrases.size()))];
            text += gbkSeparators[random.Below(6)];
        }
        text = FitTo(text, size);
        // Two harmless phrases side by side may still spell an entry; then try another mix.
        if (!taboolex::ReferenceContains(text.c_str())) {
            return text;
        }
    }
    throw std::runtime_error("no clean benchmark text found");
}

std::string EntryWithoutSpace(int from, int step) {
    for (int i = from; i >= 0 && i < static_cast<int>(taboolex::kEntryCount); i += step) {
        const taboolex::WordEntry& e = taboolex::kWordTable[i];
        const std::string text(e.text, e.length);
        if (text.find(' ') == std::string::npos) {
            return text;
        }
    }
    throw std::runtime_error("no entry without a space");
}

} // namespace

std::vector<BenchCase> MakeBenchCases() {
    const std::vector<std::string> phrases = CleanPhrases();
    std::vector<BenchCase> cases;
    for (size_t size : {16, 64, 256, 4096}) {
        cases.push_back({"clean/" + std::to_string(size),
                         CleanText(phrases, size, static_cast<std::uint32_t>(size)), false});
    }
    const std::string middle = EntryWithoutSpace(taboolex::kEntryCount / 2, 1);
    const std::string first = EntryWithoutSpace(0, 1);
    const std::string last = EntryWithoutSpace(taboolex::kEntryCount - 1, -1);
    const auto around = [&](const std::string& entry, bool atStart) {
        const std::string filler = CleanText(phrases, 256 - entry.size(), 99);
        return atStart ? entry + filler : filler + entry;
    };
    cases.push_back({"256/entry-early", around(middle, true), true});
    cases.push_back({"256/entry-late", around(middle, false), true});
    cases.push_back({"256/entry-absent", CleanText(phrases, 256, 99), false});
    cases.push_back({"256/first-table-entry", around(first, false), true});
    cases.push_back({"256/last-table-entry", around(last, false), true});
    for (const BenchCase& c : cases) {
        if (taboolex::ReferenceContains(c.text.c_str()) != c.dirty) {
            throw std::runtime_error("benchmark text " + c.name + " has the wrong answer");
        }
    }
    return cases;
}
