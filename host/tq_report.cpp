#include "tq_report.h"

#include "tq_executive.h"

void TQ_ReportError(const char* message) { TQ_Executive::Instance().ReportError(message); }
