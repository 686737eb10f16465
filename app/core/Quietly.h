#pragma once
// Failures the program passes over without a word (a page that cannot be reduced, a
// handler that ends early) go through here, so that they still leave a trace: each is
// logged under the category "arkavo.quiet", whose messages are off unless asked for
// (QT_LOGGING_RULES="arkavo.quiet.debug=true"). A logic error is a fault in the program,
// not a failure to pass over: it is swallowed the same way but always reported.
#include <QLoggingCategory>

#include <exception>
#include <stdexcept>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcQuiet)

namespace arkavo {

void LogQuietFailure(const char *where, const std::exception *failure);

// Runs Work and returns its result, or Fallback when it throws.
template <typename R, typename F> R QuietlyOr(const char *where, R fallback, F &&work) noexcept
{
    try {
        return std::forward<F>(work)();
    } catch (const std::exception &e) {
        LogQuietFailure(where, &e);
    } catch (...) {
        LogQuietFailure(where, nullptr);
    }
    return fallback;
}

// Runs Work; false when it threw.
template <typename F> bool Quietly(const char *where, F &&work) noexcept
{
    return QuietlyOr(where, false, [&] {
        std::forward<F>(work)();
        return true;
    });
}

} // namespace arkavo
