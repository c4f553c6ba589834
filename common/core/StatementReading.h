#pragma once

#include "Database.h"

#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

// Reading a statement: which value goes into which column.
//
// When the engine refuses a value it names the column (and the constraint)
// but not the value. The statement itself tells which value was meant for
// that column: INSERT INTO t(cols) VALUES(...), UPDATE t SET col=value, and
// comparisons such as col=:p. Values are literals or bound parameters
// (":name" or "?"); anything else (an expression, INSERT ... SELECT) leaves
// the value unknown, and the message names the column only.
namespace StatementReading {

struct Token {
    enum Kind { Word, Name, String, Number, Parameter, Symbol };
    Kind kind;
    QString text;  // strings and quoted names unquoted; parameters as written
    int index = 0; // parameters: the engine's 1-based number
};

// The statement's tokens: comments and blanks left out, parameters numbered
// as the engine numbers them.
std::vector<Token> tokenize(const QString& sql);

// A column and the value the statement gives it.
struct Binding {
    QString column;
    int value = -1;        // the value's token when the expression is a single value
    bool negative = false; // a minus sign before a number
    bool stored = false;   // written into the column, not compared with it
};

// Every column the statement writes or compares, with its value where the
// statement gives one.
std::vector<Binding> bindingsOf(const std::vector<Token>& t);

// Whether parameter `k` of `params` is the one `token` names.
bool parameterMatches(const Token& token, const Params& params, size_t k);

// The value a binding gives, when the statement and its parameters tell it.
std::optional<QVariant> valueOf(const Binding& binding, const std::vector<Token>& t, const Params& params);

} // namespace StatementReading
