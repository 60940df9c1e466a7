// Sound input and output: the built-in devices, the buffer hand-over rules
// and the audio doubles. No sound card is needed.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/audio/buffer_queue.h"
#include "platform/audio/portaudio_input.h"
#include "platform/audio/portaudio_output.h"
#include "platform/audio/test_signal.h"
#include "platform/doubles/fake_audio.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int16_t kGuard = 0x5A5A;

std::vector<std::unique_ptr<WaveBuffer>> makeBuffers(int n, size_t samples, int16_t fill = kGuard) {
  std::vector<std::unique_ptr<WaveBuffer>> v;
  for (int i = 0; i < n; ++i) {
    v.push_back(std::make_unique<WaveBuffer>());
    v.back()->data.assign(samples, fill);
  }
  return v;
}

bool allGuard(const WaveBuffer& b) {
  for (int16_t s : b.data)
    if (s != kGuard) return false;
  return true;
}

// Polls like the live loop does; returns the order in which the buffers
// were first seen done, or fewer when the time ran out.
std::vector<int> waitDone(std::vector<std::unique_ptr<WaveBuffer>>& bufs, std::chrono::milliseconds limit,
                          size_t want = 0) {
  std::vector<int> order;
  std::vector<bool> seen(bufs.size());
  if (want == 0) want = bufs.size();
  auto end = Clock::now() + limit;
  while (order.size() < want && Clock::now() < end) {
    for (size_t i = 0; i < bufs.size(); ++i)
      if (!seen[i] && bufs[i]->done.load(std::memory_order_acquire)) {
        seen[i] = true;
        order.push_back(int(i));
      }
    std::this_thread::sleep_for(1ms);
  }
  return order;
}

int deviceNumber(AudioInput& in, const std::string& name) {
  auto list = in.devices();
  int found = -2;
  for (size_t p = 0; p < list.size(); ++p)
    if (list[p].name == name) found = int(p) - 1;
  return found;
}

int deviceNumber(AudioOutput& out, const std::string& name) {
  auto list = out.devices();
  int found = -2;
  for (size_t p = 0; p < list.size(); ++p)
    if (list[p].name == name) found = int(p) - 1;
  return found;
}

void writeWav(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples,
              bool zeroDataLength = false) {
  auto le32 = [](std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 255);
  };
  auto le16 = [](std::string& s, uint16_t v) {
    s += char(v & 255);
    s += char(v >> 8);
  };
  std::string h = "RIFF";
  uint32_t bytes = uint32_t(samples.size() * 2);
  le32(h, 36 + bytes);
  h += "WAVEfmt ";
  le32(h, 16);
  le16(h, 1);
  le16(h, uint16_t(channels));
  le32(h, uint32_t(rate));
  le32(h, uint32_t(rate * 2 * channels));
  le16(h, uint16_t(2 * channels));
  le16(h, 16);
  h += "data";
  le32(h, zeroDataLength ? 0 : bytes);
  for (int16_t s : samples) le16(h, uint16_t(s));
  test::writeFile(path, h);
}

// ---- the hand-over ring ----

TEST(BufferQueue, FillsQueuedBuffersInOrderAndLosesTheRest) {
  auto bufs = makeBuffers(3, 4);
  BufferQueue q;
  ASSERT_TRUE(q.push(bufs[0].get()));
  ASSERT_TRUE(q.push(bufs[1].get()));
  EXPECT_TRUE(bufs[0]->queued.load());
  EXPECT_FALSE(bufs[0]->done.load());

  int16_t src[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  q.fill(src, 3);  // part of buffer 0
  EXPECT_FALSE(bufs[0]->done.load());
  q.fill(src + 3, 8);  // rest of 0, all of 1, 3 samples with nowhere to go
  ASSERT_TRUE(bufs[0]->done.load());
  ASSERT_TRUE(bufs[1]->done.load());
  EXPECT_FALSE(bufs[0]->queued.load());
  EXPECT_EQ(bufs[0]->data, (std::vector<int16_t>{1, 2, 3, 4}));
  EXPECT_EQ(bufs[1]->data, (std::vector<int16_t>{5, 6, 7, 8}));
  EXPECT_EQ(bufs[0]->bytesRecorded, 8u);
  EXPECT_EQ(q.lostSamples(), 3u);
  EXPECT_TRUE(allGuard(*bufs[2])) << "a buffer never queued was written";
  EXPECT_EQ(bufs[0]->lostBefore, 0u);
  EXPECT_EQ(bufs[1]->lostBefore, 0u);
  // The next buffer filled is told how much was dropped just before it.
  ASSERT_TRUE(q.push(bufs[2].get()));
  q.fill(src, 4);
  ASSERT_TRUE(bufs[2]->done.load());
  EXPECT_EQ(bufs[2]->lostBefore, 3u);

  // Re-queued, it is filled again from its start.
  ASSERT_TRUE(q.push(bufs[0].get()));
  EXPECT_FALSE(bufs[0]->done.load());
  q.fill(src, 2);
  q.finishPartial();  // as stop() does
  ASSERT_TRUE(bufs[0]->done.load());
  EXPECT_EQ(bufs[0]->bytesRecorded, 4u);
  EXPECT_EQ(bufs[0]->data[0], 1);
  EXPECT_EQ(bufs[0]->data[2], 3) << "unfilled part keeps its old contents";
}

TEST(BufferQueue, DrainPlaysInOrderThenSilenceAndFlushHandsBack) {
  auto bufs = makeBuffers(3, 3);
  bufs[0]->data = {1, 2, 3};
  bufs[1]->data = {4, 5, 6};
  BufferQueue q;
  q.push(bufs[0].get());
  q.push(bufs[1].get());
  q.push(bufs[2].get());
  int16_t out[8];
  q.drain(out, 5);
  EXPECT_EQ(std::vector<int16_t>(out, out + 5), (std::vector<int16_t>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(bufs[0]->done.load());
  EXPECT_FALSE(bufs[1]->done.load());
  q.flush();
  EXPECT_TRUE(bufs[1]->done.load());
  EXPECT_TRUE(bufs[2]->done.load());
  EXPECT_EQ(bufs[2]->bytesRecorded, 0u);
  EXPECT_EQ(q.size(), 0u);
  q.drain(out, 4);
  EXPECT_EQ(std::vector<int16_t>(out, out + 4), (std::vector<int16_t>(4, 0)));
  EXPECT_EQ(q.idleSamples(), 4u);
}

TEST(BufferQueue, TakesTheLeftChannelOfAStereoOnlyCard) {
  auto bufs = makeBuffers(2, 3);
  BufferQueue q;
  q.push(bufs[0].get());
  q.push(bufs[1].get());
  int16_t frames[] = {1, -1, 2, -2, 3, -3, 4, -4};
  q.fillFirstChannel(frames, 4, 2);
  EXPECT_EQ(bufs[0]->data, (std::vector<int16_t>{1, 2, 3}));
  EXPECT_FALSE(bufs[1]->done.load());
  EXPECT_EQ(bufs[1]->data[0], 4);
  EXPECT_EQ(bufs[1]->data[1], kGuard);
}

TEST(BufferQueue, RefusesMoreThanItsCapacity) {
  auto bufs = makeBuffers(int(BufferQueue::kCapacity) + 1, 1);
  BufferQueue q;
  for (size_t i = 0; i < BufferQueue::kCapacity; ++i) ASSERT_TRUE(q.push(bufs[i].get()));
  EXPECT_FALSE(q.push(bufs.back().get()));
}

// ---- the test signal ----

TEST(TestSignal, SameSeedSameSamplesOtherSeedOthers) {
  std::vector<int16_t> a(96000), b(96000), c(96000);
  TestSignalGenerator(7, 48000, 2).generate(a.data(), 48000);
  TestSignalGenerator g(7, 48000, 2);
  g.generate(b.data(), 1000);  // in pieces: same as in one go
  g.generate(b.data() + 2000, 47000);
  TestSignalGenerator(8, 48000, 2).generate(c.data(), 48000);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  // Two channels that differ, neither silent.
  double l = 0, r = 0, diff = 0;
  for (size_t i = 0; i < a.size(); i += 2) {
    l += std::abs(a[i]);
    r += std::abs(a[i + 1]);
    diff += std::abs(a[i] - a[i + 1]);
  }
  EXPECT_GT(l / 48000, 500);
  EXPECT_GT(r / 48000, 300);
  EXPECT_GT(diff / 48000, 100);
}

TEST(TestSignal, WhistleStaysBelowNyquistAtLowRates) {
  // At 8000 Hz the sweep must not pass 4000 Hz (it would alias back down).
  const int rate = 8000, n = rate * 6;
  std::vector<int16_t> s(n);
  TestSignalGenerator(3, rate, 1).generate(s.data(), n);
  const int win = 400;
  int tonal = 0, bad = 0;
  for (int w = 0; w + win <= n; w += win) {
    int peak = 0, crossings = 0;
    for (int i = w; i < w + win; ++i) {
      peak = std::max(peak, std::abs(int(s[i])));
      if (i > w && (s[i - 1] < 0) != (s[i] < 0)) ++crossings;
    }
    if (peak < 6000 || peak > 8200) continue;  // no whistle, or a click
    ++tonal;
    double f = crossings / 2.0 / (double(win) / rate);
    if (f < 1000 || f > 3900) ++bad;
  }
  EXPECT_GT(tonal, 20);
  EXPECT_LE(bad, tonal / 10);
}

// ---- the built-in inputs ----

TEST(AudioInputBuiltIn, ListsTheBuiltInDevicesAfterTheCards) {
  PortAudioInput in;
  auto list = in.devices();
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list.back().name, PortAudioInput::kWavFileName);
  EXPECT_EQ(list[list.size() - 2].name, PortAudioInput::kTestSignalName);
  if (list.size() == 2) {
    // No sound card: the default device is the test signal.
    EXPECT_EQ(deviceNumber(in, PortAudioInput::kTestSignalName), -1);
  } else {
    EXPECT_EQ(list[0].name, PortAudioInput::kDefaultName);
  }
}

class TestSignalCapture : public ::testing::TestWithParam<int> {};

TEST_P(TestSignalCapture, DeliversQueuedBuffersInOrderWithTheSeededSignal) {
  const int channels = GetParam(), rate = 48000, nbuf = 5;
  const size_t samples = 2048;
  PortAudioInput in;
  in.setTestSignalSeed(42);
  int dev = deviceNumber(in, PortAudioInput::kTestSignalName);
  WaveFormat f{rate, channels, 16};
  ASSERT_EQ(in.queryFormat(dev, f), kWaveOk);
  ASSERT_EQ(in.open(dev, f), kWaveOk);
  auto bufs = makeBuffers(nbuf, samples);
  for (auto& b : bufs) ASSERT_EQ(in.addBuffer(*b), kWaveOk);
  auto t0 = Clock::now();
  ASSERT_EQ(in.start(), kWaveOk);
  auto order = waitDone(bufs, 10s);
  double took = std::chrono::duration<double>(Clock::now() - t0).count();
  EXPECT_EQ(in.close(), kWaveOk);

  ASSERT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
  // Paced: it cannot run ahead of the clock.
  EXPECT_GE(took, 0.9 * double(nbuf * samples / channels) / rate);
  std::vector<int16_t> expect(nbuf * samples);
  TestSignalGenerator(42, rate, channels).generate(expect.data(), int(expect.size() / channels));
  for (int i = 0; i < nbuf; ++i) {
    EXPECT_EQ(bufs[i]->bytesRecorded, samples * 2);
    EXPECT_TRUE(std::equal(bufs[i]->data.begin(), bufs[i]->data.end(), expect.begin() + i * samples))
        << "buffer " << i << " differs from the seeded signal";
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, TestSignalCapture, ::testing::Values(1, 2));

TEST(AudioInputBuiltIn, OnlyQueuedBuffersAreWrittenAndTheRestIsLostAndCountedExactly) {
  PortAudioInput in;
  in.setTestSignalSeed(9);
  int dev = deviceNumber(in, PortAudioInput::kTestSignalName);
  WaveFormat f{44100, 1, 16};
  ASSERT_EQ(in.open(dev, f), kWaveOk);
  auto bufs = makeBuffers(3, 1024);
  ASSERT_EQ(in.addBuffer(*bufs[0]), kWaveOk);
  ASSERT_EQ(in.start(), kWaveOk);
  auto got = waitDone(bufs, 3s, 1);
  ASSERT_EQ(got, (std::vector<int>{0}));
  // Over two buffers' worth arrives with nothing queued.
  auto until = Clock::now() + 3s;
  while (in.lostSamples() <= 2048 && Clock::now() < until) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(bufs[0]->queued.load());
  EXPECT_TRUE(allGuard(*bufs[1])) << "a buffer that was never queued was written";
  EXPECT_TRUE(allGuard(*bufs[2]));
  EXPECT_GT(in.lostSamples(), 1024u);

  // Adding the same buffer twice while queued is refused.
  ASSERT_EQ(in.addBuffer(*bufs[1]), kWaveOk);
  EXPECT_EQ(in.addBuffer(*bufs[1]), kWaveStillPlaying);
  ASSERT_EQ(waitDone(bufs, 3s, 2).size(), 2u);
  EXPECT_FALSE(allGuard(*bufs[1]));
  // What the next buffer holds follows the signal after exactly the samples dropped.
  const uint64_t lost = bufs[1]->lostBefore;
  EXPECT_GT(lost, 2048u);
  EXPECT_LE(lost, in.lostSamples());
  std::vector<int16_t> signal(size_t(1024 + lost + 1024));
  TestSignalGenerator(9, 44100, 1).generate(signal.data(), int(signal.size()));
  EXPECT_TRUE(std::equal(bufs[1]->data.begin(), bufs[1]->data.end(), signal.begin() + long(1024 + lost)));

  // Reset hands back a queued buffer unfilled; after close nothing is touched.
  bufs[2]->data.assign(bufs[2]->data.size(), kGuard);
  ASSERT_EQ(in.stop(), kWaveOk);
  ASSERT_EQ(in.addBuffer(*bufs[2]), kWaveOk);
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(bufs[2]->done.load()) << "a stopped device filled a buffer";
  ASSERT_EQ(in.reset(), kWaveOk);
  EXPECT_TRUE(bufs[2]->done.load());
  EXPECT_FALSE(bufs[2]->queued.load());
  EXPECT_EQ(bufs[2]->bytesRecorded, 0u);
  EXPECT_TRUE(allGuard(*bufs[2]));
  ASSERT_EQ(in.close(), kWaveOk);
  for (auto& b : bufs) b->data.assign(b->data.size(), kGuard);
  std::this_thread::sleep_for(30ms);
  for (auto& b : bufs) EXPECT_TRUE(allGuard(*b));
}

TEST(AudioInputBuiltIn, OverrunsReportedWithTheSamplesAreGapsUntilTheNextOpen) {
  PortAudioInput in;
  in.deviceData(nullptr, 64, true);
  in.deviceData(nullptr, 64, false);
  in.deviceData(nullptr, 64, true);
  EXPECT_EQ(in.gaps(), 2u);
  ASSERT_EQ(in.open(deviceNumber(in, PortAudioInput::kTestSignalName), WaveFormat{48000, 1, 16}), kWaveOk);
  EXPECT_EQ(in.gaps(), 0u);
  EXPECT_EQ(in.close(), kWaveOk);
}

TEST(AudioInputBuiltIn, StopReturnsThePartlyFilledBufferWithItsBytes) {
  PortAudioInput in;
  int dev = deviceNumber(in, PortAudioInput::kTestSignalName);
  ASSERT_EQ(in.open(dev, WaveFormat{8000, 1, 16}), kWaveOk);
  // The device delivers whole steps of 20 frames at 8000 Hz: the step that
  // completes the first buffer (1010 samples) puts 10 into the second.
  auto bufs = makeBuffers(3, 80000);
  bufs[0]->data.assign(1010, kGuard);
  for (auto& b : bufs) in.addBuffer(*b);
  in.start();
  ASSERT_EQ(waitDone(bufs, 5s, 1).size(), 1u);
  in.stop();
  ASSERT_TRUE(bufs[1]->done.load());
  EXPECT_GE(bufs[1]->bytesRecorded, 20u);
  EXPECT_LT(bufs[1]->bytesRecorded, 80000u * 2);
  EXPECT_FALSE(bufs[2]->done.load()) << "an empty buffer stays queued over a stop";
  EXPECT_TRUE(bufs[2]->queued.load());
  in.close();
  EXPECT_TRUE(bufs[2]->done.load());
  EXPECT_EQ(bufs[2]->bytesRecorded, 0u);
}

TEST(AudioInputBuiltIn, RefusesWhatItCannotDo) {
  PortAudioInput in;
  int dev = deviceNumber(in, PortAudioInput::kTestSignalName);
  EXPECT_EQ(in.queryFormat(dev, WaveFormat{48000, 1, 24}), kWaveBadFormat);
  EXPECT_EQ(in.queryFormat(dev, WaveFormat{48000, 0, 16}), kWaveBadFormat);
  EXPECT_EQ(in.queryFormat(int(in.devices().size()) + 3, WaveFormat{}), kWaveBadDevice);
  EXPECT_FALSE(in.lastErrorText().empty());
  WaveBuffer b;
  b.data.resize(16);
  EXPECT_EQ(in.addBuffer(b), kWaveInvalidHandle);
  EXPECT_EQ(in.start(), kWaveInvalidHandle);
  EXPECT_EQ(in.formatMask(dev), 0xCCCCCu) << "every standard 16-bit format";
  ASSERT_EQ(in.open(dev, WaveFormat{48000, 2, 16}), kWaveOk);
  EXPECT_EQ(in.open(dev, WaveFormat{48000, 2, 16}), kWaveAllocated);
  EXPECT_EQ(in.close(), kWaveOk);
  EXPECT_EQ(in.close(), kWaveOk);
}

TEST(AudioInputBuiltIn, WavFileInputReproducesTheFileAndLoops) {
  test::TempDir dir;
  const int frames = 1500;
  std::vector<int16_t> stereo(frames * 2);
  for (int i = 0; i < frames; ++i) {
    stereo[2 * i] = int16_t(i * 7 - 5000);
    stereo[2 * i + 1] = int16_t(-i * 3);
  }
  writeWav(dir.file("in.wav"), 48000, 2, stereo);

  PortAudioInput in;
  in.setWavFile(dir.file("in.wav"));
  int dev = deviceNumber(in, PortAudioInput::kWavFileName);
  ASSERT_EQ(in.open(dev, WaveFormat{48000, 2, 16}), kWaveOk) << in.lastErrorText();
  auto bufs = makeBuffers(2, 2000);  // 4000 samples: the file and a third again
  for (auto& b : bufs) in.addBuffer(*b);
  in.start();
  ASSERT_EQ(waitDone(bufs, 5s).size(), 2u);
  in.close();
  std::vector<int16_t> got(bufs[0]->data);
  got.insert(got.end(), bufs[1]->data.begin(), bufs[1]->data.end());
  for (size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(got[i], stereo[i % stereo.size()]) << "sample " << i;

  // Taken as one channel: the left one.
  ASSERT_EQ(in.open(dev, WaveFormat{48000, 1, 16}), kWaveOk);
  auto mono = makeBuffers(1, 1000);
  in.addBuffer(*mono[0]);
  in.start();
  ASSERT_EQ(waitDone(mono, 5s).size(), 1u);
  in.close();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(mono[0]->data[i], stereo[2 * i]);
}

TEST(AudioInputBuiltIn, WavFileInputRefusesBadFilesWithAReason) {
  test::TempDir dir;
  PortAudioInput in;
  int dev = deviceNumber(in, PortAudioInput::kWavFileName);
  in.setWavFile(dir.file("missing.wav"));
  EXPECT_EQ(in.open(dev, WaveFormat{48000, 1, 16}), kWaveBadDevice);
  EXPECT_NE(in.lastErrorText().find("missing.wav"), std::string::npos);

  test::writeFile(dir.file("text.wav"), "this is not a sound file at all");
  in.setWavFile(dir.file("text.wav"));
  EXPECT_EQ(in.queryFormat(dev, WaveFormat{48000, 1, 16}), kWaveBadDevice);

  // A recording whose header was never patched (data length 0) still plays.
  std::vector<int16_t> s{10, 20, 30, 40};
  writeWav(dir.file("cut.wav"), 8000, 1, s, true);
  in.setWavFile(dir.file("cut.wav"));
  ASSERT_EQ(in.open(dev, WaveFormat{8000, 1, 16}), kWaveOk) << in.lastErrorText();
  auto bufs = makeBuffers(1, 6);
  in.addBuffer(*bufs[0]);
  in.start();
  ASSERT_EQ(waitDone(bufs, 3s).size(), 1u);
  in.close();
  EXPECT_EQ(bufs[0]->data, (std::vector<int16_t>{10, 20, 30, 40, 10, 20}));
}

// ---- output ----

TEST(AudioOutputSilent, PlaysQueuedBuffersInOrderAtRealTimeAndResetAbandons) {
  PortAudioOutput out;
  int dev = deviceNumber(out, PortAudioOutput::kSilentName);
  ASSERT_GE(dev, -1);
  WaveFormat f{48000, 1, 16};
  ASSERT_EQ(out.queryFormat(dev, f), kWaveOk);
  ASSERT_EQ(out.open(dev, f), kWaveOk);
  auto bufs = makeBuffers(2, 2400, 100);  // 50 ms each
  auto t0 = Clock::now();
  for (auto& b : bufs) ASSERT_EQ(out.write(*b), kWaveOk);
  EXPECT_EQ(out.write(*bufs[0]), kWaveStillPlaying);
  auto order = waitDone(bufs, 5s);
  double took = std::chrono::duration<double>(Clock::now() - t0).count();
  ASSERT_EQ(order, (std::vector<int>{0, 1}));
  EXPECT_GE(took, 0.09);

  auto longOnes = makeBuffers(2, 480000);  // ten seconds each
  for (auto& b : longOnes) out.write(*b);
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(longOnes[0]->done.load());
  ASSERT_EQ(out.reset(), kWaveOk);
  EXPECT_TRUE(longOnes[0]->done.load());
  EXPECT_TRUE(longOnes[1]->done.load());
  EXPECT_EQ(out.close(), kWaveOk);
}

// ---- a sound card through PortAudio ----

// ALSA's null device stands in for a card; skipped where ALSA cannot be set up.
class NullCard : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeFile(dir_.file("asound.conf"),
                    "pcm.quorvelnull {\n  type null\n  hint { show on description \"null\" }\n}\n");
    const char* old = std::getenv("ALSA_CONFIG_PATH");
    if (old) saved_ = old, hadOld_ = true;
    setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + dir_.file("asound.conf")).c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) setenv("ALSA_CONFIG_PATH", saved_.c_str(), 1);
    else unsetenv("ALSA_CONFIG_PATH");
  }
  test::TempDir dir_;
  std::string saved_;
  bool hadOld_ = false;
};

TEST_F(NullCard, CapturesThroughTheCallbackInQueueOrder) {
  if (!soundCardsWanted()) GTEST_SKIP() << "sound cards switched off";
  PortAudioInput in;
  int dev = deviceNumber(in, "quorvelnull");
  if (dev < 0) GTEST_SKIP() << "no ALSA null device here";
  EXPECT_EQ(in.devices()[0].name, PortAudioInput::kDefaultName);
  WaveFormat f{48000, 2, 16};
  ASSERT_EQ(in.queryFormat(dev, f), kWaveOk) << in.lastErrorText();
  ASSERT_EQ(in.open(dev, f), kWaveOk) << in.lastErrorText();
  auto bufs = makeBuffers(4, 4096);
  for (auto& b : bufs) ASSERT_EQ(in.addBuffer(*b), kWaveOk);
  auto spare = makeBuffers(1, 4096);
  ASSERT_EQ(in.start(), kWaveOk);
  auto order = waitDone(bufs, 5s);
  EXPECT_TRUE(allGuard(*spare[0]));
  EXPECT_EQ(in.close(), kWaveOk);
  ASSERT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  for (auto& b : bufs) EXPECT_EQ(b->bytesRecorded, 8192u);
  EXPECT_FALSE(allGuard(*bufs[3])) << "the card's samples were copied in";
}

TEST_F(NullCard, PlaysThroughTheCallbackInQueueOrder) {
  if (!soundCardsWanted()) GTEST_SKIP() << "sound cards switched off";
  PortAudioOutput out;
  int dev = deviceNumber(out, "quorvelnull");
  if (dev < 0) GTEST_SKIP() << "no ALSA null device here";
  WaveFormat f{44100, 1, 16};
  ASSERT_EQ(out.open(dev, f), kWaveOk) << out.lastErrorText();
  auto bufs = makeBuffers(3, 2048);
  for (auto& b : bufs) ASSERT_EQ(out.write(*b), kWaveOk);
  EXPECT_EQ(waitDone(bufs, 5s), (std::vector<int>{0, 1, 2}));
  auto more = makeBuffers(2, 44100 * 20);
  for (auto& b : more) out.write(*b);
  EXPECT_EQ(out.reset(), kWaveOk);
  EXPECT_TRUE(more[1]->done.load());
  EXPECT_EQ(out.close(), kWaveOk);
}

// ---- doubles ----

TEST(FakeAudioInput, CompletesOnlyQueuedBuffersWhenTold) {
  FakeAudioInput in;
  auto bufs = makeBuffers(3, 4);
  EXPECT_EQ(in.addBuffer(*bufs[0]), kWaveInvalidHandle);
  ASSERT_EQ(in.open(-1, WaveFormat{22050, 2, 16}), kWaveOk);
  EXPECT_EQ(in.openFormat.sampleRate, 22050);
  in.addBuffer(*bufs[0]);
  in.addBuffer(*bufs[1]);
  EXPECT_FALSE(in.completeNext({1, 2, 3, 4})) << "not started";
  in.start();
  ASSERT_TRUE(in.completeNext({1, 2, 3, 4}));
  EXPECT_TRUE(bufs[0]->done.load());
  EXPECT_FALSE(bufs[1]->done.load());
  EXPECT_EQ(bufs[0]->data, (std::vector<int16_t>{1, 2, 3, 4}));
  ASSERT_TRUE(in.completeNextRamp(10));
  EXPECT_EQ(bufs[1]->data, (std::vector<int16_t>{10, 11, 12, 13}));
  EXPECT_FALSE(in.completeNextWith(9)) << "nothing queued: lost";
  EXPECT_EQ(in.lostBlocks, 2u);
  EXPECT_TRUE(allGuard(*bufs[2]));
  in.addBuffer(*bufs[0]);
  EXPECT_FALSE(bufs[0]->done.load());
  EXPECT_EQ(in.addBuffer(*bufs[0]), kWaveStillPlaying);
  in.stop();
  in.reset();
  EXPECT_TRUE(bufs[0]->done.load());
  EXPECT_EQ(bufs[0]->bytesRecorded, 0u);
  in.close();
  EXPECT_EQ(in.calls, (std::vector<std::string>{"add(0)", "open(-1,22050,2,16)", "add(0)", "add(1)", "start",
                                                 "add(0)", "add(0)", "stop", "reset", "close"}));
}

TEST(FakeAudioOutput, PlaysWhenToldAndResetHandsBack) {
  FakeAudioOutput out;
  out.queryResult = kWaveBadFormat;
  EXPECT_EQ(out.open(0, WaveFormat{}), kWaveBadFormat);
  out.queryResult = kWaveOk;
  ASSERT_EQ(out.open(0, WaveFormat{96000, 2, 16}), kWaveOk);
  auto bufs = makeBuffers(2, 2);
  bufs[0]->data = {1, 2};
  bufs[1]->data = {3, 4};
  out.write(*bufs[0]);
  out.write(*bufs[1]);
  ASSERT_TRUE(out.playNext());
  EXPECT_TRUE(bufs[0]->done.load());
  EXPECT_FALSE(bufs[1]->done.load());
  out.reset();
  EXPECT_TRUE(bufs[1]->done.load());
  EXPECT_EQ(out.played, (std::vector<int16_t>{1, 2}));
  EXPECT_FALSE(out.playNext());
}

}  // namespace
}  // namespace qv
