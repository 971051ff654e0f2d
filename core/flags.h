#pragma once
// The two bit sets of the setup context and the log categories, which reuse
// the setup bits of the client, server and SQL Server parts.
#include <cstdint>

using ModeFlags = std::uint32_t;
constexpr ModeFlags MODE_INSTALL = 0x1;
constexpr ModeFlags MODE_REPAIR = 0x2;
constexpr ModeFlags MODE_UNINSTALL = 0x4;
constexpr ModeFlags MODE_MODIFY = 0x8;

using SetupFlags = std::uint32_t;
constexpr SetupFlags SETUP_EDITION_SUMMIT = 0x4;
constexpr SetupFlags SETUP_BITS_64 = 0x40;
constexpr SetupFlags SETUP_BITS_32 = 0x80;
constexpr SetupFlags SETUP_AI_CLIENT = 0x100;
constexpr SetupFlags SETUP_CLIENT = 0x200;
constexpr SetupFlags SETUP_SERVER = 0x400;
constexpr SetupFlags SETUP_INSTALL_SQL = 0x800;
// The SQL Server native client 11 must be installed with the server.
constexpr SetupFlags SETUP_INSTALL_NATIVE_CLIENT = 0x20000;
constexpr SetupFlags SETUP_INFO_SERVER_PORT = 0x200000;

using LogCategory = std::uint32_t;
constexpr LogCategory LOG_CLIENT = 0x200;
constexpr LogCategory LOG_SERVER = 0x400;
constexpr LogCategory LOG_SQL = 0x800;
constexpr LogCategory LOG_UI = 0x10000;
