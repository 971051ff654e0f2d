// Which paths and query texts the provider owns, and how a slow host holds
// up an enumeration, as plain data.
#include "provider_rules.h"

#include <gtest/gtest.h>

namespace sqlwmi {
namespace {

struct PathCase {
    const wchar_t* path;
    const wchar_t* key;  // nullptr: not the provider's
};

TEST(SqlNamespaceKey, AcceptsEveryLocalFormOfTheProviderNamespace) {
    const PathCase cases[] = {
        {L"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement15", L"ComputerManagement15"},
        {L"root\\Microsoft\\SqlServer\\ComputerManagement11", L"ComputerManagement11"},
        {L"//./root/Microsoft/SqlServer/ComputerManagement16", L"ComputerManagement16"},
        {L"ROOT\\MICROSOFT\\SQLSERVER\\COMPUTERMANAGEMENT14", L"ComputerManagement14"},
        {L"\\\\localhost\\root\\Microsoft\\SqlServer\\ComputerManagement13", L"ComputerManagement13"},
        {L"\\\\TESTPC\\root\\Microsoft\\SqlServer\\ComputerManagement12", L"ComputerManagement12"},
        {L"\\\\testpc\\root\\Microsoft\\SqlServer\\ComputerManagement", L"ComputerManagement"},
    };
    for (const PathCase& c : cases) {
        const auto key = SqlNamespaceKey(c.path, L"TESTPC");
        ASSERT_TRUE(key.has_value()) << c.path;
        EXPECT_EQ(*key, c.key);
    }
}

TEST(SqlNamespaceKey, LeavesOtherNamespacesAndComputersToWine) {
    const wchar_t* const others[] = {
        L"ROOT\\CIMV2",
        L"\\\\.\\root\\cimv2",
        L"root\\Microsoft\\SqlServer",
        L"root\\Microsoft\\SqlServer\\ComputerManagement15\\Sub",
        L"root\\Microsoft\\SqlServer\\ComputerManagement15x",
        L"root\\Microsoft\\SqlServer\\ServerEvents\\MSSQLSERVER",
        L"\\\\OTHERPC\\root\\Microsoft\\SqlServer\\ComputerManagement15",
        L"\\\\.",
        L"",
    };
    for (const wchar_t* path : others) EXPECT_FALSE(SqlNamespaceKey(path, L"TESTPC").has_value());
}

struct LiteralCase {
    const wchar_t* text;
    const wchar_t* value;
    size_t length;
};

TEST(ReadWqlLiteral, UnescapesEitherQuoteKindUpToItsClosingQuote) {
    const LiteralCase cases[] = {
        {L"'instanceID'", L"instanceID", 12},
        {L"\"instanceID\"", L"instanceID", 12},
        {L"''", L"", 2},
        {L"'MSSQL$O\\'Brien'", L"MSSQL$O'Brien", 16},
        {L"\"MSSQL$O'Brien\"", L"MSSQL$O'Brien", 15},      // the other quote kind stands raw
        {L"'say \"hi\"'", L"say \"hi\"", 10},
        {L"'say \\\"hi\\\"'", L"say \"hi\"", 12},           // and may be escaped all the same
        {L"\"a\\\\b\"", L"a\\b", 6},
        {L"'ends in \\\\'", L"ends in \\", 12},             // an escaped backslash does not escape the quote
        {L"'Version' and ServiceName = 'X'", L"Version", 9},  // the literal ends at its own quote
    };
    for (const LiteralCase& c : cases) {
        const auto literal = ReadWqlLiteral(c.text);
        ASSERT_TRUE(literal.has_value()) << c.text;
        EXPECT_EQ(literal->value, c.value) << c.text;
        EXPECT_EQ(literal->length, c.length) << c.text;
    }
}

TEST(ReadWqlLiteral, RefusesUnterminatedLiteralsAndUnknownEscapes) {
    const wchar_t* const refused[] = {
        L"'MSSQLSERVER",     // no closing quote
        L"'MSSQLSERVER\"",   // closed by the other kind
        L"'O\\'",            // the only closing quote is escaped
        L"'ends in \\",      // a backslash with nothing after it
        L"'C:\\Program Files'",  // \P is no WQL escape
        L"'tab\\there'",
        L"MSSQLSERVER",      // not a literal at all
        L"",
    };
    for (const wchar_t* text : refused) EXPECT_FALSE(ReadWqlLiteral(text).has_value()) << text;
}

struct QueryCase {
    const wchar_t* query;
    const wchar_t* property;
    const wchar_t* service;  // nullptr: every service
};

TEST(ParsePropertyQuery, ReadsBothFormsAsWqlWritesThem) {
    const QueryCase cases[] = {
        {L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'",
         L"instanceID", nullptr},
        {L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and "
         L"ServiceName = 'MSSQL$INST1'",
         L"Version", L"MSSQL$INST1"},
        {L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'instanceID'",
         L"instanceID", nullptr},
        {L"Select * From sqlserviceadvancedproperty Where sqlservicetype = 1 And propertyname = 'Version'",
         L"Version", nullptr},
        {L"  SELECT*FROM SqlServiceAdvancedProperty\r\n\tWHERE SQLServiceType=1 AND PropertyName=\"instanceID\"  ",
         L"instanceID", nullptr},
        {L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and "
         L"ServiceName = 'MSSQL$O\\'Brien'",
         L"Version", L"MSSQL$O'Brien"},
        {L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = \"Version\" and "
         L"ServiceName = \"MSSQL$O'Brien\"",
         L"Version", L"MSSQL$O'Brien"},
        {L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Ver\\\\sion' and "
         L"ServiceName='A'",
         L"Ver\\sion", L"A"},
    };
    for (const QueryCase& c : cases) {
        const auto parsed = ParsePropertyQuery(c.query);
        ASSERT_TRUE(parsed.has_value()) << c.query;
        EXPECT_EQ(parsed->propertyName, c.property) << c.query;
        EXPECT_EQ(parsed->serviceName.value_or(L"<every service>"), c.service ? c.service : L"<every service>")
            << c.query;
    }
}

TEST(ParsePropertyQuery, RefusesEveryOtherTextAndEveryInvalidLiteral) {
    const std::wstring head =
        L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and ";
    const std::wstring refused[] = {
        head + L"ServiceName = 'MSSQL$O'Brien'",   // a raw quote of the literal's own kind
        head + L"ServiceName = 'MSSQL$O''Brien'",  // doubling is SQL's escape, not WQL's
        head + L"ServiceName = 'MSSQLSERVER",
        head + L"ServiceName = 'C:\\Temp'",
        head + L"ServiceName = MSSQLSERVER",
        head + L"ServiceName = 'A' or ServiceName = 'B'",
        head + L"ServiceName = 'A' and",
        head + L"ServiceName = 'A' 'B'",
        head + L"InstanceName = 'A'",
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 2 AND PropertyName = 'instanceID'",
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 10 AND PropertyName = 'instanceID'",
        L"SELECT * FROM SqlServiceAdvancedPropertyX WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'",
        L"SELECTED * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'",
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 PropertyName = 'instanceID'",
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE PropertyName = 'instanceID' AND SQLServiceType = 1",
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID",
        L"select * from SqlService",
        L"",
    };
    for (const std::wstring& query : refused) EXPECT_FALSE(ParsePropertyQuery(query).has_value()) << query;
}

TEST(SelectRows, PicksThePropertyOfEachMatchingServiceInOrder) {
    const std::vector<ServiceData> services = {
        {L"MSSQL$INST1", {{L"instanceID", L"MSSQL14.INST1"}, {L"Version", L"14.0.1000.169"}}},
        {L"MSSQLSERVER", {{L"instanceID", L"MSSQL15.MSSQLSERVER"}}},
        {L"MSSQL$BARE", {}},
    };
    const auto ids = SelectRows(services, {L"INSTANCEID", std::nullopt});
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0].serviceName, L"MSSQL$INST1");
    EXPECT_EQ(ids[0].propertyName, L"instanceID");
    EXPECT_EQ(ids[0].value, L"MSSQL14.INST1");
    EXPECT_EQ(ids[1].value, L"MSSQL15.MSSQLSERVER");

    const auto version = SelectRows(services, {L"Version", L"mssql$inst1"});
    ASSERT_EQ(version.size(), 1u);
    EXPECT_EQ(version[0].value, L"14.0.1000.169");
    EXPECT_EQ(version[0].index, 1u);

    EXPECT_TRUE(SelectRows(services, {L"Version", L"MSSQLSERVER"}).empty());
    EXPECT_TRUE(SelectRows(services, {L"Version", L"MSSQL$OTHER"}).empty());
}

struct StallCase {
    std::optional<unsigned long> callerTimeoutMs;  // nullopt: WBEM_INFINITE
    unsigned long pending;
    std::optional<unsigned long> waitMs;
    Stall expected;
};

TEST(PlanStall, TimesOutOneTimedCallAtATimeAndLetsAnInfiniteOneWaitThemOut) {
    const StallCase cases[] = {
        {10000, 0, 50, {false, 0, 0}},             // the objects are there
        {std::nullopt, 0, 50, {false, 0, 0}},
        {10000, 2, 50, {true, 50, 1}},             // the configured wait is shorter
        {30, 2, 5000, {true, 30, 1}},              // the caller's time-out is shorter
        {0, 1, 50, {true, 0, 1}},                  // WBEM_NO_WAIT comes back at once
        {10000, 3, std::nullopt, {true, 10000, 1}},  // no wait set: the whole time-out
        {std::nullopt, 3, 50, {false, 150, 3}},
        {std::nullopt, 3, std::nullopt, {false, 0, 3}},
        {std::nullopt, 0xFFFFFFFFul, 0xFFFFFFFFul, {false, 0xFFFFFFFEul, 0xFFFFFFFFul}},  // never Sleep(INFINITE)
    };
    for (const StallCase& c : cases) {
        const Stall stall = PlanStall(c.callerTimeoutMs, c.pending, {c.pending, c.waitMs});
        EXPECT_EQ(stall.timedOut, c.expected.timedOut) << c.pending << " " << c.callerTimeoutMs.value_or(~0ul);
        EXPECT_EQ(stall.waitMs, c.expected.waitMs) << c.pending << " " << c.callerTimeoutMs.value_or(~0ul);
        EXPECT_EQ(stall.timeoutsUsed, c.expected.timeoutsUsed) << c.pending;
    }
}

}  // namespace
}  // namespace sqlwmi
