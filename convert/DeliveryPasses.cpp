#include "convert/DeliveryPasses.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/DeliveryBlockFilter.h"
#include "convert/DeliveryPlanning.h"
#include "convert/DeliveryStage.h"
#include "convert/OutputMeter.h"
#include "delivery/NormalisationGain.h"
#include "eq/fileio/StreamBlockFilter.h"
#include "eq/filter/SampleStream.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

namespace {

using conversion_detail::Cancelled;
using conversion_detail::Conversion;
using conversion_detail::MeterThreads;
using conversion_detail::OpenSource;
using platform::FormatText;
using platform::PrintableText;

bool Has(const delivery::DeliveryPlan& plan, delivery::DeliveryStep step) {
  return std::find(plan.steps.begin(), plan.steps.end(), step) != plan.steps.end();
}

// The line of output samples the output depth's limits changed, and the same in the result.
void NoteOutputClipping(Conversion& run, const DeliveryStage& stage) {
  run.result.delivery.clippedSamples = stage.Clipped();
  if (stage.Clipped() == 0) {
    return;
  }
  const std::uint64_t samples = stage.OutputBytes() / SampleBytes(stage.Output().encoding);
  run.result.Information(FormatText("Clipped %llu of %llu samples at the output's depth.",
                                    static_cast<unsigned long long>(stage.Clipped()),
                                    static_cast<unsigned long long>(samples)));
}

// Designs the job's bands at the file's rate again into a fresh `chain`, without lines.
void DesignAgain(Conversion& run, FilterChain& chain) {
  const double rate = static_cast<double>(run.job.sampleRate);
  std::vector<BandSkip> skipped;
  if (run.designs != nullptr) {
    run.designs->Design(rate, chain, skipped);
  } else {
    (void)DesignBandFilters(run.bandTable, chain, rate, &skipped);
  }
}

// The first pass of a delivery with a loudness step: the source filtered (and taken to the
// output's rate and channels) and measured, nothing written. Returns the gain to apply through
// the preamp, saying what it could not do; empty, with the reason said, when the pass failed.
std::optional<double> MeasureGain(Conversion& run, const SampleFormat& format,
                                  const delivery::DeliveryPlan& plan) {
  ConversionJob& job = run.job;
  const std::string source = PrintableText(job.sourcePath);
  bool streamed = false;
  const T_RefPtr<I_WavFile> again = OpenSource(job, streamed);
  if (!again || !streamed) {
    run.result.Error(
        FormatText("The source cannot be read for its loudness measurement(%s).", source.c_str()));
    return std::nullopt;
  }
  FilterChain chain;
  DesignAgain(run, chain);
  // The equalizer's output as 64-bit floats, before the limits of the source's encoding.
  const auto stream =
      SampleStream::Create(BestFilterKernel(), SampleFormat{SampleEncoding::Float64, 0}, chain,
                           job.channels, run.threads);
  // The loudness the output will have without the gain: after the rate and channel steps,
  // before the depth, whose dither and rounding a gain does not scale.
  const std::uint64_t frames =
      again->GetSampleBytes64() / (SampleBytes(format.encoding) * job.channels);
  std::unique_ptr<DeliveryStage> stage;
  if (Has(plan, delivery::DeliveryStep::Rate) || Has(plan, delivery::DeliveryStep::Channels)) {
    stage = DeliveryStage::Create(plan, SampleEncoding::Float64, job.channels, job.sampleRate,
                                  frames * job.channels * sizeof(double), true);
  }
  const std::unique_ptr<OutputMeter> meter =
      stage ? OutputMeter::Create(stage->Output().encoding, stage->Output().channels,
                                  stage->Output().rate, MeterThreads(run))
            : OutputMeter::Create(SampleEncoding::Float64, job.channels, job.sampleRate,
                                  MeterThreads(run));
  if (!meter || (!stage && plan.outputRate != job.sampleRate)) {
    run.result.Error(
        FormatText("The loudness of the source cannot be measured(%s).", source.c_str()));
    return std::nullopt;
  }
  MeasuringBlockFilter filter(*stream, format.encoding, job.channels, stage.get(), *meter,
                              run.cancel);
  if (again->StreamThrough(filter) != 1) {
    if (!Cancelled(run)) {
      run.result.Error(FormatText("The loudness measurement of the source stopped(%s): %s.",
                                  source.c_str(), again->GetWriteError().c_str()));
    }
    return std::nullopt;
  }
  const OutputLoudness measured = meter->Finish();
  const delivery::NormalisationGain gain = delivery::ComputeNormalisationGain(
      measured.integratedLufs, measured.truePeakDbtp, plan.targetLufs, plan.ceilingDbtp);
  double applied = 0.0;
  (void)TableWithGain(run.bandTable, gain.gainDb, applied);
  if (std::string text = NormalisationText(gain, plan, std::max(0.0, gain.gainDb - applied));
      !text.empty()) {
    run.result.delivery.gainNote = text;
    run.result.Information(std::move(text));
  }
  return applied;
}

}  // namespace

namespace conversion_detail {

// What a delivery decided for the pass that writes: its plan and the output's layout.
struct Delivery {
  delivery::DeliveryPlan plan;
  C_WavInfo output;       // the output's wave info
  bool reshapes = false;  // a rate, channels or depth step: the delivery stage runs
};

bool StreamOne(Conversion& run, I_WavFile& file, const SampleFormat& format, FilterChain& chain,
               const Delivery* delivery) {
  if (Cancelled(run)) {
    return false;
  }
  ConversionJob& job = run.job;
  const std::size_t sampleBytes = SampleBytes(format.encoding);
  std::unique_ptr<DeliveryStage> stage;
  if (delivery != nullptr && delivery->reshapes) {
    stage = DeliveryStage::Create(delivery->plan, format.encoding, job.channels, job.sampleRate,
                                  file.GetSampleBytes64(), false);
    if (!stage) {
      run.result.Error(FormatText("The output's rate cannot be made(%s).",
                                  PrintableText(job.sourcePath).c_str()));
      return false;
    }
    if (delivery->plan.outputRate != job.sampleRate) {
      // The markers stay at their instants.
      RescaleMarkers(*file.GetWavData(), job.sampleRate, delivery->plan.outputRate);
    }
  }
  const auto stream =
      SampleStream::Create(BestFilterKernel(), format, chain, job.channels, run.threads);
  StreamBlockFilter equalizer(*stream, sampleBytes * job.channels, run.cancel, run.threads,
                              run.progress != nullptr ? &run.progress->frames : nullptr);
  std::unique_ptr<OutputMeter> meter;
  if (job.measureOutput || job.sayLoudness) {
    meter = stage ? OutputMeter::Create(stage->Output().encoding, stage->Output().channels,
                                        stage->Output().rate, MeterThreads(run))
                  : OutputMeter::Create(format.encoding, job.channels, job.sampleRate,
                                        MeterThreads(run));
  }
  DeliveryBlockFilter filter(equalizer, stage.get(),
                             delivery != nullptr ? &delivery->output : nullptr, meter.get());
  const int written =
      file.StreamTo(job.outputPath, OutputTypeFor(job.outputPath, file.GetFormatType()), filter);
  NoteFiltered(run, format.encoding, file.GetSampleBytes64() / sampleBytes, stream->Stats());
  run.result.Information("Apply the equalizer filter parameter.");
  if (written != 1 && filter.Stopped()) {
    (void)Cancelled(run);
    return false;
  }
  NoteClipping(run);
  if (stage) {
    NoteOutputClipping(run, *stage);
  }
  if (written == 1 && meter) {
    run.result.loudness = meter->Finish();
  }
  return NoteWritten(run, written, file.GetWriteError());
}

bool DeliverOne(Conversion& run, I_WavFile& file, const SampleFormat& format, FilterChain& chain) {
  ConversionJob& job = run.job;
  const std::string source = PrintableText(job.sourcePath);
  const delivery::SourceShape shape{.sampleRate = job.sampleRate,
                                    .channels = job.channels,
                                    .bits = static_cast<unsigned>(SampleBytes(format.encoding) * 8),
                                    .isFloat = format.encoding == SampleEncoding::Float32 ||
                                               format.encoding == SampleEncoding::Float64};
  std::string problem = DeliveryProblem(job.delivery, shape);
  const auto plan = problem.empty() ? delivery::PlanDelivery(job.delivery, shape) : std::nullopt;
  if (plan) {
    problem = MissingStepProblem(*plan);
  }
  if (!problem.empty()) {
    run.result.Error(
        FormatText("The output cannot be made as asked(%s): %s.", source.c_str(), problem.c_str()));
    return false;
  }
  Delivery delivery{*plan, {}, false};
  delivery.reshapes = Has(*plan, delivery::DeliveryStep::Rate) ||
                      Has(*plan, delivery::DeliveryStep::Channels) ||
                      Has(*plan, delivery::DeliveryStep::Depth);
  const OutputLayout layout{plan->outputRate, plan->outputChannels,
                            plan->depth ? EncodingOfDepth(*plan->depth) : format.encoding};
  delivery.output = OutputInfoFor(*file.GetWavData()->GetWavInfo(), layout);
  if (delivery.reshapes) {
    problem = ContainerProblem(OutputTypeFor(job.outputPath, file.GetFormatType()), delivery.output,
                               plan->depth.has_value());
    if (!problem.empty()) {
      // Said as the writer says it, before anything is read or written.
      const std::string output = PrintableText(job.outputPath);
      run.result.Error(
          FormatText("Can't write the output file(%s): %s.", output.c_str(), problem.c_str()));
      run.result.Error(FormatText("Write to output file(%s).", output.c_str()));
      return false;
    }
  }
  DeliveryApplied& applied = run.result.delivery;
  applied.sampleRate = layout.rate;
  applied.channels = layout.channels;
  applied.encoding = EncodingName(layout.encoding);
  applied.dithered = delivery.reshapes && plan->dither;
  FilterChain raisedChain;
  FilterChain* writing = &chain;
  if (Has(*plan, delivery::DeliveryStep::Gain)) {
    const std::optional<double> gain = MeasureGain(run, format, *plan);
    if (!gain) {
      return false;
    }
    applied.gainDb = *gain;
    if (*gain != 0.0) {
      // One gain stage: the preamp's, so that the output is the conversion with the preamp
      // raised by the gain, bit for bit.
      double added = 0.0;
      const EqBandTable raised = TableWithGain(run.bandTable, *gain, added);
      (void)DesignBandFilters(raised, raisedChain, static_cast<double>(job.sampleRate), nullptr);
      writing = &raisedChain;
    }
  }
  return StreamOne(run, file, format, *writing, &delivery);
}

}  // namespace conversion_detail
