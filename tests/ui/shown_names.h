// The names the information dialog must show for a database version, a backup type
// and a file type, typed here on their own so that the dialog's tables are checked
// against them, and the name of every value the tables do not list.
#pragma once

#include <QString>
#include <cstdint>

struct ShownName {
    uint32_t value;
    const char* name;
};

inline constexpr ShownName kVersionNames[] = {
    {408, "SQL Server 6.5"},     {515, "SQL Server 7.0"},
    {539, "SQL Server 2000"},    {611, "SQL Server 2005"},
    {612, " SQL Server 2005 SP2+ with VarDecimal enabled"},
    {655, "SQL Server 2008"},    {660, "SQL Server 2008 R2"},
    {661, "SQL Server 2008 R2"}, {684, "SQL Server 2012 CTP1"},
    {706, " SQL Server 2012"},   {782, " SQL Server 2014"},
    {852, " SQL Server 2016"},   {869, " SQL Server 2017"}};
inline constexpr char kUnknownVersion[] = "Unknown SQL Version";

inline constexpr ShownName kBackupTypeNames[] = {
    {0, "Invalid Backup"},          {'D', "Full Database Backup"},     {'I', "Differential Backup"},
    {'F', "File Backup"},           {'G', "Differential File Backup"}, {'L', "Log Backup"},
    {'P', "Partial Backup"},        {'Q', "Partial Differential Backup"}};
inline constexpr char kUnknownBackupType[] = "Unknown Backup Type";

inline constexpr ShownName kFileTypeNames[] = {
    {0, "Unknown Sql File"},     {1, "Sql Database File"},    {2, "Sql Physical Log File"},
    {3, "Sql Logical Log File"}, {6, "Sql Full text File"},   {7, "Sql Stream Root File"},
    {8, "Sql Stream Log File"}};
inline constexpr char kUnknownFileType[] = "Unknown File";

// The name of `value` in `names`, else `unknown`.
template <size_t N>
QString ShownNameOf(const ShownName (&names)[N], uint32_t value, const char* unknown) {
    for (const ShownName& entry : names)
        if (entry.value == value) return entry.name;
    return unknown;
}
