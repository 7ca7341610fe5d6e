#include "ui/FormReader.h"

#include <windows.h>

#include <memory>

#include "base/Text.h"
#include "ui/ClassRegistry.h"

namespace kv {

// ---- parsing --------------------------------------------------------------------------------

struct TReader::Node {
    std::u16string name, className;
    int line = 0;
    std::vector<std::pair<std::u16string, TValue>> props;
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

bool IsIdentStart(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}
bool IsIdentChar(char16_t c) {
    return IsIdentStart(c) || (c >= u'0' && c <= u'9') || c == u'.';
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(std::u16string_view text) : t_(text) {}

    std::unique_ptr<TReader::Node> ParseRoot() {
        SkipBlanks();
        auto node = ParseObject();
        SkipBlanks();
        if (p_ < t_.size()) Fail(u"Text after the root object's end");
        return node;
    }

private:
    [[noreturn]] void Fail(const std::u16string& msg) const {
        throw EReadError(msg + u" (line " + IntToStr(line_) + u")");
    }

    void SkipBlanks() {
        while (p_ < t_.size()) {
            const char16_t c = t_[p_];
            if (c == u'\n') {
                ++line_;
                ++p_;
            } else if (c == u' ' || c == u'\t' || c == u'\r' || c == 0xFEFF) {
                ++p_;
            } else if (c == u'/' && p_ + 1 < t_.size() && t_[p_ + 1] == u'/') {
                while (p_ < t_.size() && t_[p_] != u'\n') ++p_;
            } else {
                break;
            }
        }
    }
    char16_t Peek() {
        SkipBlanks();
        return p_ < t_.size() ? t_[p_] : 0;
    }
    void Expect(char16_t c) {
        if (Peek() != c) Fail(u"'" + std::u16string(1, c) + u"' expected");
        ++p_;
    }
    std::u16string Ident() {
        if (!IsIdentStart(Peek())) Fail(u"Identifier expected");
        const size_t start = p_;
        while (p_ < t_.size() && IsIdentChar(t_[p_])) ++p_;
        return std::u16string(t_.substr(start, p_ - start));
    }
    bool PeekKeyword(std::u16string_view word) {
        Peek();
        if (t_.size() - p_ < word.size() || !SameName(t_.substr(p_, word.size()), word))
            return false;
        return p_ + word.size() >= t_.size() || !IsIdentChar(t_[p_ + word.size()]);
    }

    std::unique_ptr<TReader::Node> ParseObject() {
        if (!PeekKeyword(u"object") && !PeekKeyword(u"inherited") && !PeekKeyword(u"inline"))
            Fail(u"'object' expected");
        Ident();
        auto node = std::make_unique<TReader::Node>();
        node->line = line_;
        node->name = Ident();
        Expect(u':');
        node->className = Ident();
        if (Peek() == u'[') { // position index of inherited forms: not used
            ++p_;
            ParseValue();
            Expect(u']');
        }
        for (;;) {
            if (PeekKeyword(u"end")) {
                Ident();
                return node;
            }
            if (PeekKeyword(u"object") || PeekKeyword(u"inherited") || PeekKeyword(u"inline")) {
                node->children.push_back(ParseObject());
                continue;
            }
            if (p_ >= t_.size()) Fail(u"'end' expected");
            std::u16string name = Ident();
            Expect(u'=');
            node->props.emplace_back(std::move(name), ParseValue());
        }
    }

    TValue ParseValue() {
        TValue v;
        const char16_t c = Peek();
        v.line = line_;
        if (c == u'\'' || c == u'#') {
            v.kind = TValue::String;
            v.s = ParseString();
        } else if (IsDigit(c) || c == u'-' || c == u'+' || c == u'$') {
            ParseNumber(v);
        } else if (IsIdentStart(c)) {
            v.kind = TValue::Ident;
            v.s = Ident();
        } else if (c == u'[') {
            ++p_;
            v.kind = TValue::Set;
            while (Peek() != u']') {
                if (!v.names.empty()) Expect(u',');
                if (IsDigit(Peek())) {
                    TValue n;
                    ParseNumber(n);
                    v.names.push_back(IntToStr(n.i));
                } else {
                    v.names.push_back(Ident());
                }
            }
            ++p_;
        } else if (c == u'(') {
            ++p_;
            v.kind = TValue::List;
            while (Peek() != u')') {
                if (p_ >= t_.size()) Fail(u"')' expected");
                v.list.push_back(ParseValue());
                if (Peek() == u',') ++p_;
            }
            ++p_;
        } else if (c == u'<') {
            ++p_;
            v.kind = TValue::Collection;
            while (Peek() != u'>') {
                if (!PeekKeyword(u"item")) Fail(u"'item' expected");
                Ident();
                TValue::Item item;
                while (!PeekKeyword(u"end")) {
                    if (p_ >= t_.size()) Fail(u"'end' expected");
                    std::u16string name = Ident();
                    Expect(u'=');
                    item.props.emplace_back(std::move(name), ParseValue());
                }
                Ident();
                v.items.push_back(std::move(item));
            }
            ++p_;
        } else if (c == u'{') {
            ++p_;
            v.kind = TValue::Binary;
            int high = -1;
            while (Peek() != u'}') {
                const int d = HexDigit(t_[p_]);
                if (d < 0) Fail(u"Hexadecimal digit expected");
                ++p_;
                if (high < 0) {
                    high = d;
                } else {
                    v.s += char16_t(high * 16 + d);
                    high = -1;
                }
            }
            ++p_;
        } else {
            Fail(u"Property value expected");
        }
        return v;
    }

    void ParseNumber(TValue& v) {
        v.kind = TValue::Int;
        bool negative = false;
        if (t_[p_] == u'-' || t_[p_] == u'+') negative = t_[p_++] == u'-';
        if (p_ < t_.size() && t_[p_] == u'$') {
            ++p_;
            int64_t n = 0;
            const size_t start = p_;
            while (p_ < t_.size() && HexDigit(t_[p_]) >= 0) n = n * 16 + HexDigit(t_[p_++]);
            if (p_ == start) Fail(u"Number expected");
            // Hexadecimal values are 32-bit patterns (colours such as $FF000000).
            v.i = negative ? -n : static_cast<int32_t>(static_cast<uint32_t>(n));
            return;
        }
        const size_t start = p_;
        int64_t n = 0;
        while (p_ < t_.size() && IsDigit(t_[p_])) n = n * 10 + (t_[p_++] - u'0');
        if (p_ == start) Fail(u"Number expected");
        if (p_ < t_.size() && t_[p_] == u'.' && p_ + 1 < t_.size() && IsDigit(t_[p_ + 1])) {
            ++p_;
            double f = static_cast<double>(n), scale = 0.1;
            while (p_ < t_.size() && IsDigit(t_[p_])) {
                f += (t_[p_++] - u'0') * scale;
                scale /= 10;
            }
            v.kind = TValue::Float;
            v.f = negative ? -f : f;
            return;
        }
        v.i = negative ? -n : n;
    }

    // 'text' parts and #nnn code units that touch make one string; so do parts joined by '+'
    // across blanks and lines.
    std::u16string ParseString() {
        std::u16string s;
        Peek();
        for (;;) {
            const char16_t c = p_ < t_.size() ? t_[p_] : 0;
            if (c == u'\'') {
                ++p_;
                for (;;) {
                    if (p_ >= t_.size() || t_[p_] == u'\n') Fail(u"Unterminated string");
                    if (t_[p_] == u'\'') {
                        if (p_ + 1 < t_.size() && t_[p_ + 1] == u'\'') {
                            s += u'\'';
                            p_ += 2;
                            continue;
                        }
                        ++p_;
                        break;
                    }
                    s += t_[p_++];
                }
                continue;
            }
            if (c == u'#') {
                ++p_;
                TValue n;
                if (p_ >= t_.size() || !(IsDigit(t_[p_]) || t_[p_] == u'$'))
                    Fail(u"Number expected");
                ParseNumber(n);
                s += char16_t(n.i & 0xFFFF);
                continue;
            }
            const size_t save = p_;
            const int saveLine = line_;
            if (Peek() == u'+') {
                ++p_;
                const char16_t next = Peek();
                if (next == u'\'' || next == u'#') continue;
            }
            p_ = save;
            line_ = saveLine;
            return s;
        }
    }

    std::u16string_view t_;
    size_t p_ = 0;
    int line_ = 1;
};

struct ColorName {
    const char16_t* name;
    TColor value;
};
constexpr ColorName kColorNames[] = {
    {u"clBlack", clBlack},
    {u"clMaroon", clMaroon},
    {u"clGreen", clGreen},
    {u"clOlive", clOlive},
    {u"clNavy", clNavy},
    {u"clPurple", clPurple},
    {u"clTeal", clTeal},
    {u"clGray", clGray},
    {u"clSilver", clSilver},
    {u"clRed", clRed},
    {u"clLime", clLime},
    {u"clYellow", clYellow},
    {u"clBlue", clBlue},
    {u"clFuchsia", clFuchsia},
    {u"clAqua", clAqua},
    {u"clWhite", clWhite},
    {u"clMoneyGreen", clMoneyGreen},
    {u"clSkyBlue", clSkyBlue},
    {u"clCream", clCream},
    {u"clMedGray", clMedGray},
    {u"clNone", clNone},
    {u"clDefault", clDefault},
    {u"clScrollBar", clScrollBar},
    {u"clBackground", clBackground},
    {u"clActiveCaption", clActiveCaption},
    {u"clInactiveCaption", clInactiveCaption},
    {u"clMenu", clMenu},
    {u"clWindow", clWindow},
    {u"clWindowFrame", clWindowFrame},
    {u"clMenuText", clMenuText},
    {u"clWindowText", clWindowText},
    {u"clCaptionText", clCaptionText},
    {u"clActiveBorder", clActiveBorder},
    {u"clInactiveBorder", clInactiveBorder},
    {u"clAppWorkSpace", clAppWorkSpace},
    {u"clHighlight", clHighlight},
    {u"clHighlightText", clHighlightText},
    {u"clBtnFace", clBtnFace},
    {u"clBtnShadow", clBtnShadow},
    {u"clGrayText", clGrayText},
    {u"clBtnText", clBtnText},
    {u"clInactiveCaptionText", clInactiveCaptionText},
    {u"clBtnHighlight", clBtnHighlight},
    {u"cl3DDkShadow", cl3DDkShadow},
    {u"cl3DLight", cl3DLight},
    {u"clInfoText", clInfoText},
    {u"clInfoBk", clInfoBk},
    {u"clHotLight", clHotLight},
};

} // namespace

// ---- reading --------------------------------------------------------------------------------

void TReader::ReadComponent(TComponent& root, std::u16string_view text) {
    Parser parser(text);
    const std::unique_ptr<Node> tree = parser.ParseRoot();
    TReader reader(root);
    reader.Build(*tree, nullptr, true);
    reader.Finish();
}

void TReader::ReadComponentResource(TComponent& root, std::u16string_view resourceName) {
    const std::u16string name(resourceName);
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(module, W(name), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) throw EReadError(u"Resource " + name + u" not found");
    const std::string_view utf8(static_cast<const char*>(bytes), SizeofResource(module, res));
    ReadComponent(root, Utf8ToUtf16(utf8));
}

void TReader::Build(const Node& node, TComponent* parent, bool isRoot) {
    TComponent* comp = nullptr;
    const TClassInfo* info = FindClass(node.className);
    component_ = node.name;
    property_.clear();
    if (isRoot) {
        comp = root_;
        // The root's own class may be a form class that only the program knows: its
        // properties are those of the nearest registered class it names, or of the
        // registered class of the root object.
        if (!info) info = FindClass(root_->ClassName());
        if (!info) info = FindClass(u"TForm");
        if (!info)
            throw EReadError(u"Class " + node.className + u" not found (line " +
                             IntToStr(node.line) + u")");
        if (root_->Name().empty()) root_->SetName(node.name);
    } else {
        if (!info || !info->Factory())
            throw EReadError(u"Class " + node.className + u" not found (line " +
                             IntToStr(node.line) + u")");
        comp = info->Factory()(root_);
        comp->SetLoadingState(true);
        try {
            comp->SetName(node.name);
        } catch (const Exception& e) {
            throw EReadError(e.Message() + u" (line " + IntToStr(node.line) + u")");
        }
        // The parent comes before every other property, so that positions and child order
        // are read against it.
        comp->SetParentComponent(parent);
    }
    comp->SetLoadingState(true);
    loaded_.push_back(comp);
    for (const auto& [name, value] : node.props) {
        component_ = node.name;
        SetProperty(*comp, *info, name, value);
    }
    for (const auto& child : node.children) Build(*child, comp, false);
}

void TReader::SetProperty(TObject& target, const TClassInfo& info, const std::u16string& name,
                          const TValue& value) {
    property_ = name;
    const TPropertySetter* setter = info.FindProperty(name);
    if (!setter) Fail(value, u"Property " + name + u" does not exist");
    try {
        (*setter)(target, value, *this);
    } catch (const EReadError&) {
        throw;
    } catch (const Exception& e) {
        Fail(value, e.Message());
    }
}

void TReader::ApplyProperties(TObject& target, const TClassInfo& info,
                              const std::vector<std::pair<std::u16string, TValue>>& props) {
    const std::u16string outer = property_;
    for (const auto& [name, value] : props) SetProperty(target, info, name, value);
    property_ = outer;
}

void TReader::Finish() {
    for (const Fixup& f : fixups_) {
        component_ = f.component;
        property_ = f.property;
        std::u16string_view name = f.name;
        // "Form.Component" names a component of this form through the form's name.
        const size_t dot = name.find(u'.');
        if (dot != std::u16string_view::npos && SameName(name.substr(0, dot), root_->Name()))
            name = name.substr(dot + 1);
        TComponent* found = SameName(name, root_->Name()) ? root_ : root_->FindComponent(name);
        if (!found) {
            TValue v;
            v.line = f.line;
            Fail(v, u"Unresolved reference: " + f.name);
        }
        f.apply(found);
    }
    if (const auto* fields = root_->FieldBindings()) {
        for (const auto& field : *fields) {
            TComponent* c = root_->FindComponent(field.name);
            if (!c || !field.assign(c))
                throw EReadError(u"Field " + field.name +
                                 u" has no component of its class in the form");
        }
    }
    for (TComponent* c : loaded_) c->Loaded();
}

const std::any* TReader::FindHandlerOrFail(const TValue& v) {
    if (v.kind != TValue::Ident) Fail(v, u"Handler name expected");
    const std::any* h = root_->FindHandler(v.s);
    if (!h) Fail(v, u"Handler " + v.s + u" not found");
    return h;
}

void TReader::AddReference(const TValue& v, std::function<void(TComponent*)> apply) {
    if (v.kind != TValue::Ident) Fail(v, u"Component name expected");
    if (SameName(v.s, u"nil")) {
        apply(nullptr);
        return;
    }
    fixups_.push_back({component_, property_, v.s, v.line, std::move(apply)});
}

void TReader::Fail(const TValue& v, const std::u16string& message) {
    throw EReadError(u"Error reading " + component_ + u"." + property_ + u": " + message +
                     u" (line " + IntToStr(v.line) + u")");
}

int TReader::AsInt(const TValue& v) {
    if (v.kind != TValue::Int) Fail(v, u"Invalid property value: integer expected");
    if (v.i < INT32_MIN || v.i > static_cast<int64_t>(UINT32_MAX)) Fail(v, u"Integer out of range");
    return static_cast<int>(static_cast<int64_t>(static_cast<int32_t>(v.i)));
}

bool TReader::AsBool(const TValue& v) {
    if (v.kind == TValue::Ident && SameName(v.s, u"True")) return true;
    if (v.kind == TValue::Ident && SameName(v.s, u"False")) return false;
    Fail(v, u"Invalid property value: True or False expected");
}

double TReader::AsFloat(const TValue& v) {
    if (v.kind == TValue::Float) return v.f;
    if (v.kind == TValue::Int) return static_cast<double>(v.i);
    Fail(v, u"Invalid property value: number expected");
}

std::u16string TReader::AsString(const TValue& v) {
    if (v.kind != TValue::String) Fail(v, u"Invalid property value: string expected");
    return v.s;
}

TColor TReader::AsColor(const TValue& v) {
    if (v.kind == TValue::Int) return static_cast<TColor>(v.i);
    if (v.kind == TValue::Ident)
        for (const auto& c : kColorNames)
            if (SameName(v.s, c.name)) return c.value;
    Fail(v, u"Invalid property value: colour expected");
}

int TReader::AsEnum(const TValue& v, const std::vector<std::pair<std::u16string, int>>& table) {
    if (v.kind == TValue::Ident)
        for (const auto& [name, value] : table)
            if (SameName(v.s, name)) return value;
    Fail(v, u"Invalid property value: " + (v.kind == TValue::Ident ? v.s : std::u16string(u"?")));
}

unsigned TReader::AsSet(const TValue& v, const std::vector<std::pair<std::u16string, int>>& table) {
    if (v.kind != TValue::Set) Fail(v, u"Invalid property value: set expected");
    unsigned bits = 0;
    for (const auto& n : v.names) {
        bool found = false;
        for (const auto& [name, value] : table)
            if (SameName(n, name)) {
                bits |= static_cast<unsigned>(value);
                found = true;
            }
        if (!found) Fail(v, u"Invalid property value: " + n);
    }
    return bits;
}

std::vector<std::u16string> TReader::AsStrings(const TValue& v) {
    if (v.kind != TValue::List) Fail(v, u"Invalid property value: list expected");
    std::vector<std::u16string> out;
    for (const auto& item : v.list) out.push_back(AsString(item));
    return out;
}

} // namespace kv
