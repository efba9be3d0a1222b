#pragma once
// What the channel editor sets on a channel (display number, transport, stream) kept in
// Tb_Channel of Tarnwick.db, one row per channel that holds any value other than 0. The
// table is rewritten with Tb_Device in its transaction; a database without it (made by an
// earlier version) has no stored values, and an earlier version reading a database with it
// simply leaves it aside.
#include <list>

class CDevice;
class CppSQLite3DB;

// Inside the caller's transaction; throws the wrapper's exception on a refused statement.
void WriteChannelSettings(CppSQLite3DB& db, const std::list<CDevice*>& devices);
// Gives the listed devices their channels' stored values; throws on a table it cannot read.
void ReadChannelSettings(CppSQLite3DB& db, const std::list<CDevice*>& devices);
