// Value conversions and binding rules, as plain functions.
#include <gtest/gtest.h>

#include "document.h"
#include "iis_fixture.h"
#include "pool_state.h"
#include "schema.h"
#include "site_state.h"
#include "values.h"

namespace iistest {
namespace {

using iisadmin::FormatValue;
using iisadmin::ParseStored;

const iisadmin::PropertySchema& PropertyOf(const wchar_t* section, const wchar_t* entryProperty) {
    const iisadmin::ElementSchema* schema = iisadmin::SectionSchema(section);
    const iisadmin::PropertySchema* p = schema->collection ? schema->collection->entry->Property(entryProperty)
                                                           : schema->Property(entryProperty);
    if (!p) p = schema->Property(entryProperty);
    EXPECT_NE(p, nullptr);
    return *p;
}

std::wstring Canonical(const iisadmin::PropertySchema& p, const wchar_t* stored) {
    auto value = ParseStored(&p, stored);
    return value ? FormatValue(&p, *value) : L"(invalid)";
}

TEST(Values, StoredTextsReadInTheirCanonicalForm) {
    const auto& access = PropertyOf(L"system.webServer/handlers", L"accessPolicy");
    const auto& mode = PropertyOf(L"system.applicationHost/applicationPools", L"managedPipelineMode");
    const auto& autoStart = PropertyOf(L"system.applicationHost/applicationPools", L"autoStart");
    const auto& queue = PropertyOf(L"system.applicationHost/applicationPools", L"queueLength");
    struct Case {
        const iisadmin::PropertySchema* property;
        const wchar_t* stored;
        const wchar_t* shown;
    } cases[] = {
        {&access, L"Read,Write,Script,Execute", L"Read, Write, Execute, Script"},
        {&access, L"script, read", L"Read, Script"},
        {&access, L"None", L"None"},
        {&access, L"Read,Fly", L"(invalid)"},
        {&mode, L"classic", L"Classic"},
        {&mode, L"0", L"Integrated"},
        {&mode, L"2", L"(invalid)"},
        {&autoStart, L"True", L"true"},
        {&autoStart, L"1", L"(invalid)"},
        {&queue, L" 4000", L"4000"},
        {&queue, L"-1", L"(invalid)"},
        {&queue, L"4294967296", L"(invalid)"},
    };
    for (const auto& c : cases) EXPECT_EQ(Canonical(*c.property, c.stored), c.shown) << c.stored;
}

TEST(Values, VariantsBecomeTheSchemasType) {
    const auto& mode = PropertyOf(L"system.applicationHost/applicationPools", L"managedPipelineMode");
    VARIANT in;
    ::VariantInit(&in);
    in.vt = VT_I2;
    in.iVal = 1;
    iisadmin::TypedValue typed;
    ASSERT_EQ(iisadmin::FromVariant(&mode, in, typed), S_OK);
    EXPECT_EQ(FormatValue(&mode, typed), L"Classic");
    VARIANT out;
    ASSERT_EQ(iisadmin::ToVariant(&mode, typed, &out), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 1);

    const auto& length = PropertyOf(L"system.webServer/security/requestFiltering", L"allowDoubleEscaping");
    in.vt = VT_BOOL;
    in.boolVal = VARIANT_TRUE;
    ASSERT_EQ(iisadmin::FromVariant(&length, in, typed), S_OK);
    EXPECT_EQ(FormatValue(&length, typed), L"true");
    in.vt = VT_EMPTY;
    EXPECT_EQ(iisadmin::FromVariant(&length, in, typed), E_INVALIDARG);
}

TEST(EntryKeys, CompareWithLetterCaseOnlyWhereTheSchemaSaysSo) {
    struct Case {
        const wchar_t* section;
        const wchar_t* attribute;
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } cases[] = {
        {L"system.applicationHost/sites", L"name", L"Default Web Site", L"default web site", true},
        {L"system.applicationHost/applicationPools", L"name", L"TCorvanta10", L"tcorvanta10", true},
        {L"system.webServer/handlers", L"name", L"StaticFile", L"staticfile", false},
        {L"system.webServer/handlers", L"name", L"StaticFile", L"StaticFile", true},
        {L"system.webServer/security/isapiCgiRestriction", L"path", L"C:\\A.dll", L"c:\\a.DLL", true},
    };
    for (const auto& c : cases) {
        const iisadmin::ElementSchema* entry = iisadmin::SectionSchema(c.section)->collection->entry;
        auto first = iisadmin::Node::Element(L"add");
        auto second = iisadmin::Node::Element(L"add");
        first->SetAttribute(c.attribute, c.a);
        second->SetAttribute(c.attribute, c.b);
        EXPECT_EQ(iisadmin::EntryKey(*first, *entry, {c.attribute}) == iisadmin::EntryKey(*second, *entry, {c.attribute}),
                  c.same)
            << Narrow(c.a) << " / " << Narrow(c.b);
    }
    EXPECT_FALSE(iisadmin::EntryKey(*iisadmin::Node::Element(L"add"), *iisadmin::SectionSchema(L"system.webServer/handlers")
                                                                        ->collection->entry,
                                    {L"name"}));
}

TEST(Bindings, ClashOnlyWhenOneListenerWouldServeBoth) {
    auto b = [](const wchar_t* information, const wchar_t* protocol = L"http") {
        return *iisadmin::ParseBinding(protocol, information);
    };
    EXPECT_TRUE(iisadmin::BindingsClash(b(L"*:80:"), b(L"*:80:")));
    EXPECT_TRUE(iisadmin::BindingsClash(b(L"*:80:"), b(L"10.0.0.1:80:")));
    EXPECT_TRUE(iisadmin::BindingsClash(b(L"[::1]:80:"), b(L"[::1]:80:")));
    EXPECT_FALSE(iisadmin::BindingsClash(b(L"*:80:"), b(L"*:8080:")));
    EXPECT_FALSE(iisadmin::BindingsClash(b(L"*:80:a.example"), b(L"*:80:b.example")));
    EXPECT_FALSE(iisadmin::BindingsClash(b(L"10.0.0.1:80:"), b(L"10.0.0.2:80:")));
    EXPECT_FALSE(iisadmin::BindingsClash(b(L"*:443:"), b(L"*:443:", L"https")));
    EXPECT_FALSE(iisadmin::ParseBinding(L"http", L"80").has_value());
}

TEST(SiteStates, TheLastRecordedStartOrStopCounts) {
    auto states = iisadmin::RecordedStates(
        "Default Web Site\tStop\r\nTCorvanta10\tStart failed 0x80070020\r\nTCorvanta10\tStart\r\n"
        "default web site\tStart\r\nbroken line\r\n");
    ASSERT_EQ(states.size(), 2u);
    EXPECT_TRUE(states[L"DEFAULT WEB SITE"]);
    EXPECT_TRUE(states[L"TCORVANTA10"]);
    EXPECT_FALSE(iisadmin::RecordedStates("TCorvanta10\tStart\nTCorvanta10\tStop\n")[L"TCORVANTA10"]);
}

TEST(SiteStates, PoolLinesDoNotCountForSites) {
    auto states = iisadmin::RecordedStates("TCorvanta10\tStart\r\nTCorvanta10\tAppPool\tStop\r\n");
    ASSERT_EQ(states.size(), 1u);
    EXPECT_TRUE(states[L"TCORVANTA10"]);
}

TEST(PoolStates, TheLastRecordedStartOrStopOfThePoolCounts) {
    const char* log =
        "TCorvanta10\tAppPool\tStop\r\n"
        "TCorvanta10\tStart\r\n"
        "DefaultAppPool\tAppPool\tStop\r\n"
        "tcorvanta10\tAppPool\tStart failed 0x80070420\r\n"
        "DefaultAppPool\tAppPool\tRecycle\r\n"
        "defaultapppool\tAppPool\tStart\n";
    auto states = iisadmin::RecordedStates(log, iisadmin::kPoolKind);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_FALSE(states[L"TCORVANTA10"]);  // a failed Start and a site's Start change nothing
    EXPECT_TRUE(states[L"DEFAULTAPPPOOL"]);
}

TEST(PoolStates, MethodsChangeTheStateOnlyWhenTheyWork) {
    struct Case {
        bool started;
        const wchar_t* method;
        HRESULT result;
        bool startedAfter;
        const wchar_t* event;
    } cases[] = {
        {false, L"Start", S_OK, true, L"Start"},
        {true, L"Start", static_cast<HRESULT>(0x80070420), true, L"Start failed 0x80070420"},
        {true, L"Stop", S_OK, false, L"Stop"},
        {false, L"Stop", static_cast<HRESULT>(0x80070426), false, L"Stop failed 0x80070426"},
        {true, L"Recycle", S_OK, true, L"Recycle"},
        {false, L"Recycle", static_cast<HRESULT>(0x80070426), false, L"Recycle failed 0x80070426"},
        {true, L"Pause", E_INVALIDARG, true, L"Pause failed 0x80070057"},
        {false, L"start", E_INVALIDARG, false, L"start failed 0x80070057"},
    };
    for (const auto& c : cases) {
        const auto outcome = iisadmin::ApplyPoolMethod(c.started, c.method);
        EXPECT_EQ(outcome.result, c.result) << Narrow(c.method) << " started=" << c.started;
        EXPECT_EQ(outcome.started, c.startedAfter) << Narrow(c.method) << " started=" << c.started;
        EXPECT_EQ(iisadmin::PoolEvent(c.method, outcome.result), c.event);
    }
}

}  // namespace
}  // namespace iistest
