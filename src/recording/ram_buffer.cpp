#include "recording/ram_buffer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <new>

#include "analysis/settings.h"
#include "core/program.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "recording/rec_text.h"
#include "recording/recording_loop.h"
#include "recording/station.h"
#include "recording/wav_file.h"

namespace qv {

namespace {
constexpr int64_t kChunkWords = 2048;

bool endsWithWav(const std::string& s) {
  if (s.size() < 4) return false;
  std::string tail = s.substr(s.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".wav";
}
}  // namespace

bool RamBuffer::setUp(Program& p, const RunParams& run) {
  recording_ = false;
  channels_ = std::max(1, p.vars().Channels);
  rate_ = p.vars().SampleRate;
  const int64_t block = std::max(run.BlockSize, 1);
  // Megabytes to words, rounded to whole blocks (the run's parameters hold that count).
  const int64_t size = run.ramBufferSamples - run.ramBufferSamples % block;
  Control* modeBox = p.options0().find("RamBufferModeCombo");
  mode_ = modeBox && modeBox->intNumber() == 2 ? 2 : 1;
  filled_ = false;
  pointer_ = 0;
  lastPercent_ = -1;
  size_ = 0;
  gaps_.clear();
  newestEnd_.reset();
  // A smaller buffer than the last run's gives the memory back.
  if (buffer_.capacity() > static_cast<size_t>(std::max<int64_t>(size, 2))) std::vector<int16_t>().swap(buffer_);
  if (size < 1) {
    buffer_.assign(2, 0);
    return true;
  }
  try {
    buffer_.assign(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    // The run goes on without a buffer rather than not at all.
    buffer_.assign(2, 0);
    buffer_.shrink_to_fit();
    p.setStatus("Not enough memory for a RAM buffer of" + rec::numText(run.ramBufferMB) + " Mbytes");
    return true;
  }
  size_ = size;
  recording_ = true;
  return true;
}

void RamBuffer::block(const int16_t* samples, int count) {
  if (!recording_ || count <= 0) return;
  const int percent = static_cast<int>(roundEven(static_cast<double>(pointer_) / static_cast<double>(size_) * 100.0));
  if (percent != lastPercent_) {
    lastPercent_ = percent;
    if (Control* label = p_.form1().find("Label9")) label->setCaption(std::to_string(percent) + "%");
  }
  // A buffer that stopped full keeps its content until it is saved.
  if (pointer_ >= size_) return;
  newestEnd_ = timeAgo(p_, 0);
  int64_t n = std::min<int64_t>(count, size_ - pointer_);
  gaps_.write(pointer_, pointer_ + n);
  std::copy(samples, samples + n, buffer_.begin() + pointer_);
  pointer_ += n;
  if (pointer_ < size_) return;
  filled_ = true;
  if (mode_ == 2) {
    p_.vars().StopFlag = true;
    return;
  }
  pointer_ = 0;
  // Blocks always divide the buffer; a ragged one wraps its rest to the start.
  const int64_t rest = count - n;
  if (rest > 0) {
    gaps_.write(0, std::min(rest, size_));
    std::copy(samples + n, samples + n + std::min(rest, size_), buffer_.begin());
    pointer_ = std::min(rest, size_) % size_;
  }
}

void RamBuffer::gap(int64_t framesLost) {
  if (recording_) gaps_.lost(framesLost * channels_);
}

bool RamBuffer::writeRanges(const std::string& file, int64_t from1, int64_t to1, int64_t from2, int64_t to2) {
  // Word positions of the two ranges become frames of the file; the ranges
  // end with the newest word.
  const int64_t ch = channels_;
  const int64_t words = (to1 - from1) + (to2 - from2);
  std::vector<GuanoGap> gaps = gaps_.within(from1, to1, -from1);
  for (const GuanoGap& g : gaps_.within(from2 - 1, to2, (to1 - from1) - from2))
    if (!(g.frame == to1 - from1 && from1 == to1)) gaps.push_back(g);
  int64_t lostWords = 0;
  for (GuanoGap& g : gaps) {
    lostWords += g.lost;
    g.frame /= ch;
    g.lost /= ch;
  }
  GuanoRecord meta = currentGuano(p_, rate_, words / ch);
  if (newestEnd_) meta.timestamp = plusSeconds(*newestEnd_, -static_cast<double>((words + lostWords) / ch) / rate_);
  setGaps(meta, std::move(gaps));
  WavWriter w;
  error_.clear();
  saved_.clear();
  // A file of that name is never overwritten: the save takes the next free suffix.
  bool ok = w.create(file, channels_, rate_);
  if (ok) saved_ = w.path();
  for (auto [from, to] : {std::pair{from1, to1}, std::pair{from2, to2}}) {
    for (int64_t i = from; ok && i < to; i += kChunkWords) {
      const int64_t n = std::min(kChunkWords, to - i);
      ok = w.append(buffer_.data() + i, static_cast<size_t>(n));
    }
  }
  if (!ok) error_ = w.error();
  if (!w.close(guanoText(meta)) && ok) {
    error_ = w.error();
    ok = false;
  }
  if (!ok) return false;
  // Emptied only once the samples are safely in the file.
  pointer_ = 0;
  filled_ = false;
  gaps_.clear();
  if (Station* s = findStation(p_)) s->fileSaved("Buffer saved", saved_);  // the name it took, which may be the next free one
  return true;
}

bool RamBuffer::SaveWholeBuffer(const std::string& file) {
  if (filled_ && mode_ == 1) return writeRanges(file, pointer_, size_, 0, pointer_);
  if (filled_) return writeRanges(file, 0, size_, 0, 0);
  return writeRanges(file, 0, pointer_, 0, 0);
}

double RamBuffer::capacitySeconds() const {
  return static_cast<double>(size_) / std::max(1, channels_) / std::max(1, rate_);
}

bool RamBuffer::SaveBufferSpan(const std::string& file, float seconds) {
  if (!(seconds > 0)) {
    error_ = "the number of seconds must be above 0";
    return false;
  }
  // In floating point first: an absurd number of seconds must not overflow
  // the word count, it simply asks for more than the buffer holds.
  const double chunks = std::floor(static_cast<double>(rate_) * seconds * channels_ / static_cast<double>(kChunkWords));
  if (!(chunks * kChunkWords <= static_cast<double>(size_))) {
    if (Dialogs* d = p_.services().dialogs)
      d->message("Buffer shorter than requested", "", MsgButtons::Ok, MsgIcon::Information);
    return SaveWholeBuffer(file);
  }
  int64_t span = static_cast<int64_t>(chunks) * kChunkWords;
  if (pointer_ < span && !filled_) span = pointer_;
  if (pointer_ < span) return writeRanges(file, size_ + pointer_ - span, size_, 0, pointer_);
  return writeRanges(file, pointer_ - span, pointer_, 0, 0);
}

std::string RamBuffer::recordingFolder() const {
  Control* c = p_.options0().find("FileRecPathField");
  return rec::withSlash(c ? c->text() : std::string());
}

std::string RamBuffer::automaticName() const {
  DateTime now;
  if (Clock* c = p_.services().clock) now = c->now();
  std::string name = "buffer end at " + rec::dateTimeStamp(now);
  Control* gps = p_.options0().find("AddGPS");
  Control* udp = p_.options0().find("AddUDP");
  if ((gps && gps->checked()) || (udp && udp->checked())) {
    Control* label = p_.form1().find("DDETXT");
    name += " " + rec::fileNameSafe(rec::trimBlanks(label ? label->caption() : p_.vars().DDETXT));
  }
  return name;
}

bool RamBuffer::active(bool warningIcon) {
  if (recording_) return true;
  if (Dialogs* d = p_.services().dialogs)
    d->message("Buffer Empty", "", MsgButtons::Ok, warningIcon ? MsgIcon::Warning : MsgIcon::None);
  return false;
}

static void reportSaveError(Program& p, const std::string& error) {
  p.setStatus("Buffer not saved: " + error);
  if (Dialogs* d = p.services().dialogs) d->message("Buffer not saved: " + error, "", MsgButtons::Ok, MsgIcon::Error);
}

void RamBuffer::saveAutomatic(float seconds) {
  if (!active(false)) return;
  // Two saves within one second share the name; the second takes a suffix.
  const std::string file = recordingFolder() + automaticName() + ".wav";
  p_.setStatus("Saving Buffer...");
  const bool ok = seconds > 0 ? SaveBufferSpan(file, seconds) : SaveWholeBuffer(file);
  if (!ok) {
    reportSaveError(p_, error_);
    return;
  }
  p_.setStatus("Saved <" + rec::removeExtension(rec::fileNameOf(saved_)) + ">");
}

void RamBuffer::SaveBuffer_Click() { saveAutomatic(0); }
void RamBuffer::BufferSave30_Click() { saveAutomatic(30); }
void RamBuffer::BufferSave60_Click() { saveAutomatic(60); }

void RamBuffer::saveChosen(float seconds) {
  Dialogs* d = p_.services().dialogs;
  if (!d) return;
  FileDialogOptions o;
  o.title = seconds > 0 ? "Save Buffer Partial" : "Save Buffer As";
  o.initialFolder = recordingFolder();
  o.initialName = automaticName();
  o.filter = "*.wav";
  o.defaultExt = "wav";
  std::string file = d->saveFile(o);
  if (file.empty()) return;
  if (!endsWithWav(file)) file += ".wav";
  p_.setStatus("Saving Buffer...");
  const bool ok = seconds > 0 ? SaveBufferSpan(file, seconds) : SaveWholeBuffer(file);
  if (!ok) {
    reportSaveError(p_, error_);
    return;
  }
  p_.setStatus("Saved <" + rec::removeExtension(rec::fileNameOf(saved_)) + ">");
}

void RamBuffer::SaveBufferAs_Click() {
  if (active(false)) saveChosen(0);
}

void RamBuffer::SaveBufferPartial_Click() {
  if (!active(false)) return;
  Dialogs* d = p_.services().dialogs;
  if (!d) return;
  const std::string answer = d->input("How many seconds ", "Save Buffer Partial", "");
  if (rec::trimBlanks(answer).empty()) return;  // cancelled
  // Anything but whole seconds the buffer can hold is refused before the
  // save dialog, and the buffer is kept for the next try.
  const double seconds = leadingNumber(answer);
  const double held = capacitySeconds();
  if (!(seconds >= 1) || !(seconds <= held)) {
    const std::string text = "\"" + answer + "\" is not a number of seconds from 1 to" +
                             rec::numText(std::floor(held)) + " (what the buffer holds); nothing was saved";
    p_.setStatus(text);
    d->message(text, "Save Buffer Partial", MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  saveChosen(static_cast<float>(seconds));
}

void RamBuffer::saveTemp() {
  const std::string file = p_.programFile("temp.wav");
  std::remove(file.c_str());
  if (!SaveWholeBuffer(file)) {
    reportSaveError(p_, error_);
    return;
  }
  openFile_(saved_);
}

void RamBuffer::AnalyzeBuffer_Click() {
  if (active(true)) saveTemp();
}

void RamBuffer::PlayBuffer_Click() {
  if (active(false)) saveTemp();
}

void installBufferMenu(Program& p, std::shared_ptr<RamBuffer> b) {
  Form& f = p.form1();
  auto attach = [&f, &b](const char* name, void (RamBuffer::*handler)()) {
    if (Control* c = f.find(name)) c->on(Event::Click, [b, handler] { ((*b).*handler)(); });
  };
  attach("SaveBuffer", &RamBuffer::SaveBuffer_Click);
  attach("QuickSaveBuffer", &RamBuffer::QuickSaveBuffer_Click);
  attach("BufferSave30", &RamBuffer::BufferSave30_Click);
  attach("BufferSave60", &RamBuffer::BufferSave60_Click);
  attach("SaveBufferAs", &RamBuffer::SaveBufferAs_Click);
  attach("SaveBufferPartial", &RamBuffer::SaveBufferPartial_Click);
  attach("AnalyzeBuffer", &RamBuffer::AnalyzeBuffer_Click);
  attach("PlayBuffer", &RamBuffer::PlayBuffer_Click);
}

}  // namespace qv
