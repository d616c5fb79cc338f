#pragma once

#include "maintenance/jetimport/JetSchema.h"

#include <QVariant>

// How a value read from a Jet file is kept in the engine's database, and whether what the database
// returns is that value.
namespace JetImport {

// Currency and Decimal arrive as exact decimal text and are kept as numbers, as the engine keeps every
// number; everything else is kept as read.
QVariant storedValue(const JetColumn& column, const QVariant& value);

// Whether the value the database returns is the one read from the Jet file: numbers with the column's
// decimals exactly, text and bytes exactly, the same kind of value, Null for Null.
bool sameValue(const JetColumn& column, const QVariant& read, const QVariant& stored);

} // namespace JetImport
