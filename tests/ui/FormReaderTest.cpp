#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/FormReader.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

namespace {

std::vector<std::u16string> g_loaded;

// Records what the reader did to it: the parent at the time of its first property, the end of
// loading and whether its reference was resolved by then.
class TProbe : public kv::TWinControl {
    KV_CLASS(TProbe)
public:
    explicit TProbe(kv::TComponent* owner) : TWinControl(owner) {}
    std::u16string note, parentAtNote;
    kv::TComponent* buddy = nullptr;
    kv::TComponent* buddyAtLoaded = nullptr;
    kv::TNotifyEvent OnPing;
    void Loaded() override {
        TWinControl::Loaded();
        g_loaded.push_back(Name());
        buddyAtLoaded = buddy;
    }
};

void RegisterProbe() {
    static const bool done = [] {
        kv::RegisterComponentClass<TProbe>(u"TWinControl")
            .Str(u"Note",
                 [](TProbe& p, const std::u16string& v) {
                     p.note = v;
                     p.parentAtNote = p.Parent() ? p.Parent()->Name() : u"(none)";
                 })
            .Ref<kv::TComponent>(u"Buddy", [](TProbe& p, kv::TComponent* c) { p.buddy = c; })
            .Event<void(kv::TObject*)>(u"OnPing", &TProbe::OnPing);
        return true;
    }();
    (void)done;
}

class TProbeForm : public kv::TForm {
    KV_CLASS(TProbeForm)
public:
    TProbeForm() : TForm(kv::Application) {
        RegisterProbe();
        BindField(u"Outer", Outer);
        BindField(u"Inner", Inner);
        BindField(u"Last", Last);
        RegisterHandler<void(kv::TObject*)>(u"ProbePing", [this](kv::TObject*) { ++pings; });
        ReadForm(u"PROBEFORM");
    }
    TProbe* Outer = nullptr;
    TProbe* Inner = nullptr;
    TProbe* Last = nullptr;
    int pings = 0;
};

TEST(FormReader, SetsTheParentBeforeTheOtherProperties) {
    g_loaded.clear();
    TProbeForm form;
    EXPECT_EQ(form.Outer->parentAtNote, u"ProbeForm");
    EXPECT_EQ(form.Inner->parentAtNote, u"Outer");
    EXPECT_EQ(form.Last->parentAtNote, u"ProbeForm");
    EXPECT_EQ(form.Inner->Parent(), form.Outer);
    EXPECT_EQ(form.Outer->note, u"outer");
}

TEST(FormReader, ResolvesForwardReferencesBeforeTheEndOfLoading) {
    g_loaded.clear();
    TProbeForm form;
    EXPECT_EQ(form.Outer->buddy, form.Inner);
    EXPECT_EQ(form.Inner->buddy, form.Last); // named after it in the description
    EXPECT_EQ(form.Last->buddy, &form);      // the root by its name
    EXPECT_EQ(form.Outer->buddyAtLoaded, form.Inner);
    EXPECT_EQ(form.Inner->buddyAtLoaded, form.Last);
}

TEST(FormReader, RunsEveryEndOfLoadingStepInReadingOrder) {
    g_loaded.clear();
    TProbeForm form;
    EXPECT_EQ(g_loaded, (std::vector<std::u16string>{u"Outer", u"Inner", u"Last"}));
    EXPECT_FALSE(form.IsLoading());
    EXPECT_FALSE(form.Outer->IsLoading());
    EXPECT_FALSE(form.Last->IsLoading());
}

TEST(FormReader, BindsEventsToTheHandlersOfTheForm) {
    TProbeForm form;
    ASSERT_TRUE(form.Outer->OnPing);
    form.Outer->OnPing(form.Outer);
    EXPECT_EQ(form.pings, 1);
    EXPECT_FALSE(form.Inner->OnPing);
}

TEST(FormReader, OwnerFreesWhatTheFormCreated) {
    auto form = std::make_unique<TProbeForm>();
    EXPECT_EQ(form->ComponentCount(), 3);
    EXPECT_EQ(form->FindComponent(u"inner"), form->Inner); // names ignore case
    form.reset();                                          // no leak, no crash
}

struct ErrorCase {
    const char* name;
    const char16_t* text;
    const char16_t* fragment; // the message names this
};

TEST(FormReader, ErrorsNameWhatWasWrong) {
    RegisterProbe();
    static const ErrorCase kCases[] = {
        {"unknown class", u"object F: TForm\n object X: TNoSuchClass\n end\nend\n",
         u"TNoSuchClass"},
        {"unknown property",
         u"object F: TForm\n object B: TButton\n  NoSuchProperty = 1\n end\nend\n",
         u"B.NoSuchProperty"},
        {"unknown form property", u"object F: TForm\n  Colour = clRed\nend\n", u"Colour"},
        {"unresolved reference",
         u"object F: TForm\n object P: TProbe\n  Buddy = Nobody\n end\nend\n", u"Nobody"},
        {"missing handler",
         u"object F: TForm\n object B: TButton\n  OnClick = NoHandler\n end\nend\n", u"NoHandler"},
        {"wrong value kind", u"object F: TForm\n object B: TButton\n  Width = 'wide'\n end\nend\n",
         u"B.Width"},
        {"unknown enum value",
         u"object F: TForm\n object B: TButton\n  Align = alMiddle\n end\nend\n", u"alMiddle"},
        {"missing end", u"object F: TForm\n object B: TButton\n", u"end"},
        {"duplicate name",
         u"object F: TForm\n object B: TButton\n end\n object B: TEdit\n end\nend\n", u"B"},
    };
    for (const auto& c : kCases) {
        kv::TForm form(kv::Application);
        try {
            kv::TReader::ReadComponent(form, c.text);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const kv::EReadError& e) {
            EXPECT_NE(e.Message().find(c.fragment), std::u16string::npos)
                << c.name << ": " << kv::Utf16ToUtf8(e.Message());
        }
    }
}

TEST(FormReader, ReadsStringsWithCodesAndContinuations) {
    kv::TForm form(kv::Application);
    kv::TReader::ReadComponent(form, u"object F: TForm\n"
                                     u"  Caption = 'a''b'#12354'c' +\n"
                                     u"    'd'\n"
                                     u"  object C: TComboBox\n"
                                     u"    Items.Strings = (\n      'x'\n      'y')\n"
                                     u"  end\n"
                                     u"end\n");
    EXPECT_EQ(form.Caption(), u"a'b\u3042cd");
    auto* combo = dynamic_cast<kv::TComboBox*>(form.FindComponent(u"C"));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->Items().Strings(), (std::vector<std::u16string>{u"x", u"y"}));
}

TEST(FormReader, MissingResourceIsAnError) {
    kv::TForm form(kv::Application);
    EXPECT_THROW(form.ReadForm(u"NOSUCHFORM"), kv::EReadError);
}

} // namespace
