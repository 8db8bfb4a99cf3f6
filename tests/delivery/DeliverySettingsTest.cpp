// The named deliveries, explicit values over them, and the plan a delivery makes for a source.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "delivery/DeliverySettings.h"

namespace {

using delivery::DeliveryPlan;
using delivery::DeliverySettings;
using delivery::DeliveryStep;
using delivery::FindNamedDelivery;
using delivery::MergeDelivery;
using delivery::PlanDelivery;
using delivery::SampleDepth;
using delivery::SourceShape;

constexpr SourceShape kStereo48k24{.sampleRate = 48000, .channels = 2, .bits = 24};
constexpr SourceShape kMono16k16{.sampleRate = 16000, .channels = 1, .bits = 16};
constexpr SourceShape kStereo44k16{.sampleRate = 44100, .channels = 2, .bits = 16};
constexpr SourceShape kFloat48k{.sampleRate = 48000, .channels = 2, .bits = 32, .isFloat = true};

DeliveryPlan Plan(const char* name, const SourceShape& source,
                  DeliverySettings explicitValues = {}) {
  const auto set = FindNamedDelivery(name);
  EXPECT_TRUE(set) << name;
  const auto plan =
      PlanDelivery(MergeDelivery(set.value_or(DeliverySettings{}), explicitValues), source);
  EXPECT_TRUE(plan) << name;
  return plan.value_or(DeliveryPlan{});
}

TEST(DeliverySettingsTest, NamedDeliveriesPlanTheirStepsInOrder) {
  const DeliveryPlan podcast = Plan("podcast", kStereo48k24);
  EXPECT_EQ(podcast.targetLufs, -16.0);
  EXPECT_EQ(podcast.ceilingDbtp, -1.0);
  EXPECT_EQ(podcast.outputRate, 44100U);
  EXPECT_EQ(podcast.outputChannels, 2);
  EXPECT_EQ(podcast.depth, SampleDepth::Int16);
  EXPECT_TRUE(podcast.dither);
  EXPECT_EQ(podcast.steps,
            (std::vector{DeliveryStep::Gain, DeliveryStep::Rate, DeliveryStep::Depth}));

  const DeliveryPlan broadcast = Plan("broadcast", kStereo44k16);
  EXPECT_EQ(broadcast.targetLufs, -23.0);
  EXPECT_EQ(broadcast.ceilingDbtp, -1.0);
  EXPECT_EQ(broadcast.outputRate, 48000U);
  EXPECT_EQ(broadcast.depth, SampleDepth::Int24);
  EXPECT_FALSE(broadcast.dither);  // 16 bits into 24 reduce nothing

  const DeliveryPlan speech = Plan("speech-recognition", kStereo48k24);
  EXPECT_FALSE(speech.targetLufs);
  EXPECT_EQ(speech.ceilingDbtp, -1.0);
  EXPECT_EQ(speech.outputRate, 16000U);
  EXPECT_EQ(speech.outputChannels, 1);
  EXPECT_EQ(speech.depth, SampleDepth::Int16);
  EXPECT_TRUE(speech.dither);
  EXPECT_EQ(speech.steps, (std::vector{DeliveryStep::Gain, DeliveryStep::Rate,
                                       DeliveryStep::Channels, DeliveryStep::Depth}));
  // A source already in the destination's shape keeps its encoding: only the peak is watched.
  const DeliveryPlan ready = Plan("speech-recognition", kMono16k16);
  EXPECT_FALSE(ready.depth);
  EXPECT_FALSE(ready.dither);
  EXPECT_EQ(ready.steps, (std::vector{DeliveryStep::Gain}));

  const DeliveryPlan archive = Plan("archive", kFloat48k);
  EXPECT_FALSE(archive.targetLufs);
  EXPECT_FALSE(archive.ceilingDbtp);
  EXPECT_EQ(archive.depth, SampleDepth::Int24);
  EXPECT_TRUE(archive.dither);  // floating point to integer
  EXPECT_EQ(archive.steps, (std::vector{DeliveryStep::Depth}));

  EXPECT_EQ(delivery::kDeliveryStepOrder,
            (std::array{DeliveryStep::Gain, DeliveryStep::Rate, DeliveryStep::Channels,
                        DeliveryStep::Depth}));
  EXPECT_EQ(delivery::NamedDeliveries().size(), 4U);
  EXPECT_FALSE(FindNamedDelivery("Podcast"));
  EXPECT_FALSE(FindNamedDelivery(""));
}

TEST(DeliverySettingsTest, ExplicitValuesOverrideTheNamedOnes) {
  const DeliveryPlan atsc = Plan("broadcast", kStereo48k24, {.targetLufs = -24.0});
  EXPECT_EQ(atsc.targetLufs, -24.0);
  EXPECT_EQ(atsc.ceilingDbtp, -1.0);
  EXPECT_EQ(atsc.outputRate, 48000U);

  const DeliveryPlan plain =
      Plan("podcast", kStereo48k24, {.ceilingDbtp = -2.0, .channels = 1, .dither = false});
  EXPECT_EQ(plain.targetLufs, -16.0);
  EXPECT_EQ(plain.ceilingDbtp, -2.0);
  EXPECT_EQ(plain.outputChannels, 1);
  EXPECT_FALSE(plain.dither);
  EXPECT_EQ(plain.outputRate, 44100U);

  // A target alone gets the default ceiling; nothing asked is nothing done.
  const auto normalise = PlanDelivery({.targetLufs = -18.0}, kStereo48k24);
  ASSERT_TRUE(normalise);
  EXPECT_EQ(normalise->ceilingDbtp, delivery::kDefaultCeilingDbtp);
  const auto nothing = PlanDelivery({}, kStereo48k24);
  ASSERT_TRUE(nothing);
  EXPECT_TRUE(nothing->steps.empty());
  EXPECT_EQ(MergeDelivery({.sampleRate = 44100}, {}), DeliverySettings{.sampleRate = 44100});
}

TEST(DeliverySettingsTest, WhatNoStepCanDoGivesNoPlan) {
  EXPECT_FALSE(PlanDelivery({.channels = 2}, kMono16k16));  // no upmix
  EXPECT_FALSE(PlanDelivery({.channels = 3}, kStereo48k24));
  EXPECT_FALSE(PlanDelivery({.targetLufs = std::nan("")}, kStereo48k24));
  EXPECT_FALSE(
      PlanDelivery({.ceilingDbtp = std::numeric_limits<double>::infinity()}, kStereo48k24));
  EXPECT_FALSE(PlanDelivery({.sampleRate = 400000}, kStereo48k24));
  EXPECT_FALSE(
      PlanDelivery({.sampleRate = 48000}, {.sampleRate = 4000, .channels = 1, .bits = 16}));
  // A source at an odd rate keeps it when no rate is asked.
  EXPECT_TRUE(
      PlanDelivery({.depth = SampleDepth::Int16}, {.sampleRate = 4000, .channels = 1, .bits = 24}));
}

}  // namespace
