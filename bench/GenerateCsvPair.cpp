// kolvane-gen: writes a pair of CSV files (left.csv, right.csv) for the join benchmark. Each has
// a title line and N rows of 8 columns with the key in column 0; about 70% of the left rows
// find their key on the right, both sides repeat some keys, and the text mixes kanji, kana and
// ASCII with quoted fields holding commas, doubled quotes and CR LF. Host tool only.
//
// The output depends on nothing but the row count and the encoding: our own PRNG, integer
// arithmetic only, no library distributions.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "csv/TStringUtility.h"

namespace {

constexpr int kColumns = 8;
constexpr size_t kChunkChars = size_t(1) << 22; // text converted and written per call

// splitmix64: tiny, good enough for test data, identical everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform enough in [0, n) for n well below 2^32.
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }
    bool Percent(uint32_t p) { return Below(100) < p; }

private:
    uint64_t state_;
};

// A bijection on 32-bit values, so distinct key ids give distinct key texts that do not come
// out in id order.
uint32_t Scramble(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

uint64_t Gcd(uint64_t a, uint64_t b) {
    while (b) {
        const uint64_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

std::vector<std::u16string> Words(std::initializer_list<const char*> utf8) {
    std::vector<std::u16string> out;
    for (const char* s : utf8) out.push_back(kv::Utf8ToUtf16(s));
    return out;
}

struct Vocabulary {
    // Family and given names with their readings, index for index.
    std::vector<std::u16string> family = Words(
        {"佐藤", "鈴木",   "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤", "吉田",
         "山田", "佐々木", "山口", "松本", "井上", "木村", "林",   "斎藤", "清水", "山崎", "森",
         "池田", "橋本",   "阿部", "石川", "山下", "中島", "石井", "小川", "前田", "岡田"});
    std::vector<std::u16string> familyKana =
        Words({"サトウ",   "スズキ",   "タカハシ", "タナカ", "イトウ",   "ワタナベ", "ヤマモト",
               "ナカムラ", "コバヤシ", "カトウ",   "ヨシダ", "ヤマダ",   "ササキ",   "ヤマグチ",
               "マツモト", "イノウエ", "キムラ",   "ハヤシ", "サイトウ", "シミズ",   "ヤマザキ",
               "モリ",     "イケダ",   "ハシモト", "アベ",   "イシカワ", "ヤマシタ", "ナカジマ",
               "イシイ",   "オガワ",   "マエダ",   "オカダ"});
    std::vector<std::u16string> given =
        Words({"太郎", "花子", "一郎", "美咲", "翔太", "陽菜", "健", "さくら", "大輔", "結衣", "蓮",
               "葵", "拓也", "愛", "直樹", "真由美"});
    std::vector<std::u16string> givenKana =
        Words({"タロウ", "ハナコ", "イチロウ", "ミサキ", "ショウタ", "ヒナ", "ケン", "サクラ",
               "ダイスケ", "ユイ", "レン", "アオイ", "タクヤ", "アイ", "ナオキ", "マユミ"});
    std::vector<std::u16string> prefecture =
        Words({"東京都", "大阪府", "北海道", "神奈川県", "愛知県", "福岡県", "京都府", "沖縄県"});
    std::vector<std::u16string> city =
        Words({"千代田区丸の内", "大阪市北区梅田", "札幌市北区", "横浜市西区", "名古屋市中村区",
               "福岡市博多区", "京都市左京区", "那覇市おもろまち"});
    std::vector<std::u16string> building =
        Words({"グランドタワー", "中央ビル", "パークハイツ", "駅前プラザ", "Sun Heights "});
    std::vector<std::u16string> memo =
        Words({"至急対応", "確認済み", "発送済み", "入金待ち", "キャンセル", "再送依頼あり",
               "ｶﾅ半角ﾒﾓ", "電話連絡済", "Order 発送済み", "VIP 顧客"});
    // Free text that must be quoted: commas, doubled quotes, line breaks.
    std::vector<std::u16string> quoted =
        Words({"see note, call back", "東京, 大阪, 名古屋", "彼は\"はい\"と言った",
               "size 10\" screen", "1行目\r\n2行目", "住所変更あり\r\n旧住所: 不明, 要確認",
               "\"quoted\", then plain", "A,B,C"});
    std::vector<std::u16string> keyPrefix = Words({"C", "K", "顧客", "ｺｰﾄﾞ"});
    std::vector<std::u16string> leftTitles =
        Words({"顧客ID", "氏名", "フリガナ", "金額", "登録日", "住所", "メール", "備考"});
    std::vector<std::u16string> rightTitles =
        Words({"顧客コード", "担当者", "担当者カナ", "売上", "受注日", "届け先", "連絡先", "メモ"});
};

void AppendNumber(std::u16string& out, uint64_t v, int minDigits = 1) {
    char16_t buf[24];
    int n = 0;
    do {
        buf[n++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v || n < minDigits);
    while (n) out.push_back(buf[--n]);
}

void AppendAscii(std::u16string& out, std::string_view s) {
    out.append(s.begin(), s.end());
}

// Appends one field, quoted when its text needs it.
void AppendField(std::u16string& out, std::u16string_view text) {
    if (text.find_first_of(u",\"\r\n") == std::u16string_view::npos) {
        out.append(text);
        return;
    }
    out.push_back(u'"');
    for (char16_t c : text) {
        if (c == u'"') out.push_back(u'"');
        out.push_back(c);
    }
    out.push_back(u'"');
}

class SideWriter {
public:
    SideWriter(std::FILE* file, unsigned short codePage) : file_(file), codePage_(codePage) {
        text_.reserve(kChunkChars + 4096);
    }
    std::u16string& Text() { return text_; }
    // Call at row ends: converts and writes once a chunk's worth of text has gathered.
    bool RowDone() { return text_.size() < kChunkChars || Flush(); }
    bool Flush() {
        const std::string bytes = TStringUtility::StringToBytes(text_, codePage_);
        text_.clear();
        bytesWritten_ += bytes.size();
        return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    }
    uint64_t BytesWritten() const { return bytesWritten_; }

private:
    std::FILE* file_;
    unsigned short codePage_;
    std::u16string text_;
    uint64_t bytesWritten_ = 0;
};

void AppendKey(std::u16string& out, const Vocabulary& v, uint32_t id) {
    const uint32_t s = Scramble(id ^ 0xA5A5A5A5u);
    out.append(v.keyPrefix[s % v.keyPrefix.size()]);
    AppendNumber(out, s, 10);
}

// One row's columns 1..7 after the key.
void AppendBody(std::u16string& out, const Vocabulary& v, Rng& rng, std::u16string& scratch) {
    const uint32_t f = rng.Below(static_cast<uint32_t>(v.family.size()));
    const uint32_t g = rng.Below(static_cast<uint32_t>(v.given.size()));
    out.push_back(u',');
    out.append(v.family[f]);
    out.push_back(u'\u3000');
    out.append(v.given[g]);
    out.push_back(u',');
    out.append(v.familyKana[f]);
    out.push_back(u' ');
    out.append(v.givenKana[g]);

    out.push_back(u',');
    const uint32_t amount = rng.Below(10000000);
    if (rng.Percent(10)) {
        // Thousands separators make a quoted field with commas.
        scratch.clear();
        std::u16string digits;
        AppendNumber(digits, amount);
        for (size_t k = 0; k < digits.size(); ++k) {
            if (k && (digits.size() - k) % 3 == 0) scratch.push_back(u',');
            scratch.push_back(digits[k]);
        }
        AppendField(out, scratch);
    } else {
        AppendNumber(out, amount);
    }

    out.push_back(u',');
    AppendNumber(out, 2000 + rng.Below(25));
    out.push_back(u'/');
    AppendNumber(out, 1 + rng.Below(12), 2);
    out.push_back(u'/');
    AppendNumber(out, 1 + rng.Below(28), 2);

    out.push_back(u',');
    const uint32_t p = rng.Below(static_cast<uint32_t>(v.prefecture.size()));
    out.append(v.prefecture[p]);
    out.append(v.city[p]);
    AppendNumber(out, 1 + rng.Below(9));
    out.push_back(u'-');
    AppendNumber(out, 1 + rng.Below(30));
    out.push_back(u'-');
    AppendNumber(out, 1 + rng.Below(20));
    if (rng.Percent(70)) {
        out.push_back(u' ');
        out.append(v.building[rng.Below(static_cast<uint32_t>(v.building.size()))]);
        AppendNumber(out, 1 + rng.Below(30));
        out.append(rng.Percent(50) ? u"F" : u"号室");
    }

    out.push_back(u',');
    if (!rng.Percent(8)) {
        AppendAscii(out, "user");
        AppendNumber(out, rng.Below(1000000));
        AppendAscii(out, rng.Percent(50) ? "@example.jp" : "@mail.example.com");
    }

    out.push_back(u',');
    const uint32_t m = rng.Below(100);
    if (m < 35) {
        // empty memo
    } else if (m < 80) {
        out.append(v.memo[rng.Below(static_cast<uint32_t>(v.memo.size()))]);
    } else {
        AppendField(out, v.quoted[rng.Below(static_cast<uint32_t>(v.quoted.size()))]);
    }
    out.append(u"\r\n");
}

bool WriteSide(const std::filesystem::path& path, unsigned short codePage, const Vocabulary& v,
               const std::vector<std::u16string>& titles, const std::vector<uint32_t>& ids,
               uint64_t seed, uint64_t& bytes) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file) return false;
    SideWriter writer(file, codePage);
    std::u16string& out = writer.Text();
    for (int c = 0; c < kColumns; ++c) {
        if (c) out.push_back(u',');
        out.append(titles[c]);
    }
    out.append(u"\r\n");
    Rng rng(seed);
    std::u16string scratch;
    bool ok = true;
    for (uint32_t id : ids) {
        AppendKey(out, v, id);
        AppendBody(out, v, rng, scratch);
        if (!writer.RowDone()) {
            ok = false;
            break;
        }
    }
    ok = ok && writer.Flush();
    bytes = writer.BytesWritten();
    return std::fclose(file) == 0 && ok;
}

// Right key ids: the row number, except that some rows repeat an earlier row's key.
std::vector<uint32_t> RightIds(uint32_t rows) {
    Rng rng(0x5249474854ull);
    std::vector<uint32_t> ids(rows);
    for (uint32_t j = 0; j < rows; ++j) ids[j] = (j && rng.Percent(4)) ? ids[rng.Below(j)] : j;
    return ids;
}

// Left key ids: 70% a right row's key (through a permutation of the right rows, so the matches
// do not come in the right file's order), the rest ids the right side never uses; some rows
// repeat an earlier left key.
std::vector<uint32_t> LeftIds(const std::vector<uint32_t>& right) {
    const uint64_t n = right.size();
    std::vector<uint32_t> ids(n);
    if (n == 0) return ids;
    uint64_t stride = 2654435761u % n;
    while (stride == 0 || Gcd(stride, n) != 1) stride = (stride + 1) % n;
    Rng rng(0x4C454654ull);
    for (uint64_t i = 0; i < n; ++i) {
        if (i && rng.Percent(3)) {
            ids[i] = ids[rng.Below(static_cast<uint32_t>(i))];
        } else if (rng.Below(1000) < 700) {
            ids[i] = right[(i * stride + 12345) % n];
        } else {
            ids[i] = static_cast<uint32_t>(n + i);
        }
    }
    return ids;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: kolvane-gen [--rows N] [--encoding sjis|utf8] [--out DIR]\n"
                 "  writes DIR/left.csv and DIR/right.csv (default: 1000000 rows, sjis, .)\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    uint64_t rows = 1000000;
    unsigned short codePage = 932;
    std::filesystem::path outDir = ".";
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (i + 1 >= argc) return Usage();
        const char* value = argv[++i];
        if (a == "--rows") {
            char* end = nullptr;
            rows = std::strtoull(value, &end, 10);
            // Left-only ids sit above the right ones, so twice the rows must fit in 32 bits.
            if (*value == '\0' || *end != '\0' || rows > 0x7FFFFFFFull) return Usage();
        } else if (a == "--encoding") {
            const std::string_view e = value;
            if (e == "sjis")
                codePage = 932;
            else if (e == "utf8")
                codePage = 65001;
            else
                return Usage();
        } else if (a == "--out") {
            outDir = value;
        } else {
            return Usage();
        }
    }

    const auto start = std::chrono::steady_clock::now();
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    const Vocabulary vocabulary;
    const std::vector<uint32_t> rightIds = RightIds(static_cast<uint32_t>(rows));
    const std::vector<uint32_t> leftIds = LeftIds(rightIds);

    struct {
        const char* name;
        const std::vector<std::u16string>& titles;
        const std::vector<uint32_t>& ids;
        uint64_t seed;
    } const sides[] = {{"left.csv", vocabulary.leftTitles, leftIds, 0x4C31ull},
                       {"right.csv", vocabulary.rightTitles, rightIds, 0x5231ull}};
    for (const auto& side : sides) {
        const std::filesystem::path path = outDir / side.name;
        uint64_t bytes = 0;
        if (!WriteSide(path, codePage, vocabulary, side.titles, side.ids, side.seed, bytes)) {
            std::fprintf(stderr, "kolvane-gen: cannot write %s\n", path.string().c_str());
            return 1;
        }
        std::printf("%s: %llu rows, %.1f MB\n", path.string().c_str(),
                    static_cast<unsigned long long>(rows), bytes / 1e6);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("generated in %.2f s\n", took.count());
    return 0;
}
