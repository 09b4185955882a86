#pragma once
// Query strings as the game writes them and the ranking server reads them:
// name=value pairs joined by "&", every value percent-encoded, "+" an
// ordinary character (never a space).
#include <string>
#include <utility>
#include <vector>

// Every byte but the unreserved characters A-Z a-z 0-9 - . _ ~ becomes %XX
// (upper-case hex), so "&", "=", "#", "%" and "+" in a value arrive whole.
std::string PercentEncode(const std::string& value);

// %XX becomes its byte; a "%" not followed by two hex digits stays as it is.
std::string PercentDecode(const std::string& text);

// The pairs of a query (the text after "?"), in order, names and values
// percent-decoded. A pair without "=" has an empty value; empty pairs
// ("a=1&&b=2") are skipped.
std::vector<std::pair<std::string, std::string>> SplitQuery(const std::string& query);
