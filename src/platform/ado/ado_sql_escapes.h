#pragma once

#include <QString>

namespace ado::detail {

// The statement with its ODBC escape clauses in the canonical spelling: a blank between the keyword and the
// literal ("{d'2026-03-11'}" becomes "{d '2026-03-11'}"). Some drivers reject the short spelling (psqlODBC:
// "ODBC escape convert error"); everything else, including text inside string literals, quoted identifiers
// and comments, stays as it is.
QString canonicalEscapes(const QString& statement);

} // namespace ado::detail
