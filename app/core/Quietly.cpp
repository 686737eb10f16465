#include "Quietly.h"

Q_LOGGING_CATEGORY(lcQuiet, "arkavo.quiet", QtWarningMsg)

namespace arkavo {

void LogQuietFailure(const char *where, const std::exception *failure)
{
    if (failure && dynamic_cast<const std::logic_error *>(failure)) {
        qCCritical(lcQuiet, "%s: a fault in the program: %s", where, failure->what());
        return;
    }
    qCDebug(lcQuiet, "%s: %s", where, failure ? failure->what() : "failure of unknown kind");
}

} // namespace arkavo
