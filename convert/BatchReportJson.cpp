#include "convert/BatchReportJson.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "eq/band/EqBand.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"

namespace {

// The length of the valid UTF-8 sequence at the start of `text`, 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  std::uint32_t lowest = 0;
  if (lead < 0x80) {
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    lowest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    lowest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) {
    return 0;
  }
  std::uint32_t code = lead & (0x7FU >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
    code = (code << 6) | (byte(i) & 0x3FU);
  }
  // Overlong forms, surrogates and values beyond Unicode are not valid text.
  if (code < lowest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    return 0;
  }
  return length;
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
      ++i;
    } else if (byte < 0x20) {
      switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += platform::FormatText("\\u%04x", byte); break;
      }
      ++i;
    } else if (const std::size_t length = Utf8SequenceLength(text.substr(i)); length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\\ufffd";
      ++i;
    }
  }
  return out + "\"";
}

std::string Number(double value) { return platform::FormatShortest(value); }

const char* ReportTypeName(std::uint32_t type) {
  const char* name = BandTypeName(type);
  return name != nullptr ? name : "unknown";
}

// A measured level in dB or LU to a hundredth (the meter's own resolution is a tenth).
std::string OptionalLevel(const std::optional<double>& value) {
  return value && std::isfinite(*value) ? platform::FormatFixed(*value, 2) : "null";
}

// The output's loudness and peaks; null when they were not measured.
std::string LoudnessObject(const OutputLoudness& loudness) {
  if (!loudness.measured) {
    return "null";
  }
  return "{\"integrated_lufs\": " + OptionalLevel(loudness.integratedLufs) +
         ", \"range_lu\": " + OptionalLevel(loudness.rangeLu) +
         ", \"true_peak_dbtp\": " + OptionalLevel(loudness.truePeakDbtp) +
         ", \"sample_peak_dbfs\": " + OptionalLevel(loudness.samplePeakDbfs) + "}";
}

// What the delivery steps applied to the output written; null when none was asked for or
// nothing was written.
std::string DeliveryObject(const ConversionResult& conversion) {
  const DeliveryApplied& applied = conversion.delivery;
  if (!applied.asked || !conversion.Converted()) {
    return "null";
  }
  const bool isFloat = applied.encoding.rfind("float", 0) == 0;
  const std::string bits = applied.encoding.substr(isFloat ? 5 : 3);
  return "{\"gain_db\": " + OptionalLevel(applied.gainDb) +
         ", \"sample_rate\": " + std::to_string(applied.sampleRate) +
         ", \"channels\": " + std::to_string(applied.channels) + ", \"bits\": " + bits +
         ", \"encoding\": " + Quoted(applied.encoding) +
         ", \"dither\": " + (applied.dithered ? "true" : "false") +
         ", \"clipped_samples\": " + std::to_string(applied.clippedSamples) + "}";
}

std::string FileEntry(const BatchFileResult& file) {
  const ConversionJob& job = file.job;
  const ConversionResult& conversion = file.conversion;
  const ClipCounts& counts = conversion.counts;
  const bool attempted = conversion.outcome != ConversionStatus::NotAttempted;
  const bool opened = job.sampleRate > 0;
  std::string out = "    {\n";
  auto field = [&out](const char* name, const std::string& value, bool last = false) {
    out += std::string("      \"") + name + "\": " + value + (last ? "\n" : ",\n");
  };
  field("source", Quoted(job.sourcePath));
  field("output", job.outputPath.empty() ? "null" : Quoted(job.outputPath));
  field("result", Quoted(!attempted               ? "not_attempted"
                         : conversion.Converted() ? "converted"
                                                  : "failed"));
  const std::string errors = conversion.ErrorText();
  field("error", errors.empty() ? "null" : Quoted(errors));
  field("seconds", attempted ? platform::FormatFixed(file.seconds, 3) : "null");
  field("format", job.formatName.empty() ? "null" : Quoted(job.formatName));
  field("duration_ms", opened ? std::to_string(job.durationMs) : "null");
  field("sample_rate", opened ? std::to_string(job.sampleRate) : "null");
  field("channels", opened ? std::to_string(job.channels) : "null");
  field("encoding", job.encoding.empty() ? "null" : Quoted(job.encoding));
  field("samples", std::to_string(counts.filteredSamples));
  field("clipped_samples", std::to_string(counts.clippedSamples));
  field("peak_dbfs", counts.hasPeak ? Number(counts.peakDbfs) : "null");
  field("source_ends_early",
        !job.endsEarly
            ? std::string("null")
            : "{\"frames_read\": " + std::to_string(job.framesRead) + ", \"frames_stated\": " +
                  (job.statedFrames > 0 ? std::to_string(job.statedFrames) : "null") + "}");
  field("loudness", LoudnessObject(conversion.loudness));
  field("delivery", DeliveryObject(conversion));
  std::string bands = "[";
  for (std::size_t i = 0; i < job.bands.size(); ++i) {
    const BandUse& band = job.bands[i];
    bands += std::string(i > 0 ? "," : "") + "\n        {\"index\": " + std::to_string(band.index) +
             ", \"type\": " + Quoted(ReportTypeName(band.type)) +
             ", \"applied\": " + (band.applied ? "true" : "false");
    if (band.applied && band.order > 0) {
      bands += ", \"order\": " + std::to_string(band.order);
    }
    if (!band.applied) {
      bands += ", \"skipped_because\": " + Quoted(band.reason);
    }
    bands += "}";
  }
  bands += job.bands.empty() ? "]" : "\n      ]";
  field("bands", bands, true);
  return out + "    }";
}

}  // namespace

std::string FormatBatchReportJson(const std::vector<BatchFileResult>& files,
                                  const BatchReportContext& context) {
  std::size_t converted = 0;
  std::size_t failed = 0;
  std::size_t notAttempted = 0;
  for (const BatchFileResult& file : files) {
    if (file.conversion.outcome == ConversionStatus::NotAttempted) {
      ++notAttempted;
    } else if (file.conversion.Converted()) {
      ++converted;
    } else {
      ++failed;
    }
  }
  std::string out = "{\n";
  out += "  \"report_version\": 2,\n";
  out += "  \"settings_file\": " +
         (context.settingsPath.empty() ? std::string("null") : Quoted(context.settingsPath)) +
         ",\n";
  out += "  \"eq_index\": " + std::to_string(context.eqIndex) + ",\n";
  out += "  \"threads\": " + std::to_string(context.threads) + ",\n";
  out += std::string("  \"keep_going\": ") + (context.keepGoing ? "true" : "false") + ",\n";
  out += "  \"seconds\": " + platform::FormatFixed(context.seconds, 3) + ",\n";
  out += "  \"files_total\": " + std::to_string(files.size()) + ",\n";
  out += "  \"files_converted\": " + std::to_string(converted) + ",\n";
  out += "  \"files_failed\": " + std::to_string(failed) + ",\n";
  out += "  \"files_not_attempted\": " + std::to_string(notAttempted) + ",\n";
  out += "  \"result\": " + std::to_string(context.result) + ",\n";
  out += "  \"files\": [";
  for (std::size_t i = 0; i < files.size(); ++i) {
    out += (i > 0 ? ",\n" : "\n") + FileEntry(files[i]);
  }
  out += files.empty() ? "]\n" : "\n  ]\n";
  out += "}\n";
  return out;
}
