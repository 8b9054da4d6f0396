// The status report of `--status`: one status line, then exit status 0
// whatever the answer. Runs on the main thread before any queue is used;
// reads no input and requests no permission.
#ifndef ORLIMBO_READINESS_STATUS_REPORT_H_
#define ORLIMBO_READINESS_STATUS_REPORT_H_

namespace orlimbo {

void reportStatus();

}  // namespace orlimbo

#endif  // ORLIMBO_READINESS_STATUS_REPORT_H_
