#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <vector>

#include "convert/ConversionJob.h"
#include "convert/ConversionReport.h"
#include "eq/band/EqBand.h"

/// Asks whether a run goes on after `failed` failed; shown over `owner`. True: continue.
using FailurePrompt = std::function<bool(QWidget* owner, const ConversionOutcome& failed)>;

/// The default FailurePrompt: a message box naming the file and its errors, with Continue and
/// Stop (Stop also for Escape and for a box closed from outside).
bool AskToContinueAfterFailure(QWidget* owner, const ConversionOutcome& failed);

/// Runs the jobs of a "Convert File" run through the batch engine, several files at once on
/// worker threads, with a progress dialog over `owner`, while the window stays responsive.
/// When a file fails, `askContinue` decides on the window's thread whether the run goes on (no
/// other file starts meanwhile); the run also stops when the progress dialog is cancelled or
/// `cancel` is set (files in hand then stop before anything is written). Returns one outcome
/// per job, in order; jobs the run never reached are marked as not attempted. The workers see
/// only copies: the jobs and `bandTable`.
std::vector<ConversionOutcome> RunConversions(QWidget* owner, std::vector<ConversionJob> jobs,
                                              const EqBandTable& bandTable,
                                              std::atomic<bool>& cancel,
                                              const FailurePrompt& askContinue);
