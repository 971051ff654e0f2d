// Which paths and query texts the provider owns, as plain data.
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

TEST(ParsePropertyQuery, KnowsTheInstanceQueryAndTheServicePropertyQuery) {
    const auto all = ParsePropertyQuery(
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'");
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->propertyName, L"instanceID");
    EXPECT_FALSE(all->serviceName.has_value());

    const auto one = ParsePropertyQuery(
        L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and "
        L"ServiceName = 'MSSQL$INST1'");
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->propertyName, L"Version");
    EXPECT_EQ(one->serviceName.value_or(L""), L"MSSQL$INST1");
}

TEST(ParsePropertyQuery, RefusesEveryOtherText) {
    const wchar_t* const refused[] = {
        L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'instanceID'",
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID' ",
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 2 AND PropertyName = 'instanceID'",
        L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'Version' AND "
        L"ServiceName = 'MSSQLSERVER'",
        L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and "
        L"ServiceName = 'A' or ServiceName = 'B'",
        L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and "
        L"ServiceName = 'MSSQLSERVER",
        L"select * from SqlService",
        L"",
    };
    for (const wchar_t* query : refused) EXPECT_FALSE(ParsePropertyQuery(query).has_value());
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

}  // namespace
}  // namespace sqlwmi
