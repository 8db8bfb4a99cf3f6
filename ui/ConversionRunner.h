#pragma once

#include <QWidget>
#include <atomic>
#include <vector>

#include "eq/ConversionJob.h"
#include "eq/ConversionReport.h"
#include "eq/EqBand.h"

/// Runs the jobs of a "Convert File" run one after another on a worker thread, with a progress
/// dialog over `owner`, while the window stays responsive. The run stops at the first failing
/// job, when the progress dialog is cancelled, or when `cancel` is set (the job in hand then
/// stops before anything is written). Returns one outcome per job, in order; jobs the run never
/// reached are marked as not attempted. The worker sees only copies: the jobs and `bandTable`.
std::vector<ConversionOutcome> RunConversions(QWidget* owner, std::vector<ConversionJob> jobs,
                                              const EqBandTable& bandTable,
                                              std::atomic<bool>& cancel);
