// Item lists shared by the main window and the settings panel.
#pragma once

#include <string>
#include <vector>

namespace qv::lists {

inline const std::vector<std::string> kBlockSize = {"1024", "2048", "4096", "8192", "16384", "32768", "65536", "131072"};
inline const std::vector<std::string> kSampleRate = {"5000",  "8000",  "16000", "32000", "48000", "96000",
                                                     "192000", "11025", "22050", "44100", "6400",  "9600",
                                                     "10240", "12800", "20480", "25600", "40960", "200000"};
inline const std::vector<std::string> kFFTsize = {"512", "1024", "2048", "4096", "8192", "16384"};
inline const std::vector<std::string> kWindowSize = {"32",   "64",   "128",  "256",  "512",
                                                     "1024", "2048", "4096", "8192", "16384"};
inline const std::vector<std::string> kWindowType = {"Linear", "Hanning", "Hamming", "Kaiser-Bessel", "Gaussian"};
inline const std::vector<std::string> kScanStepMain = {"2",    "4",    "8",    "16",    "32",  "64",  "128",
                                                       "256",  "512",  "1024", "2048",  "4096", "8192", "16384",
                                                       "192",  "384",  "768",  "240",   "480"};
inline const std::vector<std::string> kScanStepBasic = {"2",    "4",    "8",    "16",   "32",    "64",  "128",
                                                        "256",  "512",  "1024", "2048", "4096",  "8192", "16384",
                                                        "192",  "384",  "768"};
inline const std::vector<std::string> kDisplayHeightMain = {"0", "128", "160", "200", "224", "240", "256", "512"};
inline const std::vector<std::string> kDisplayHeightBasic = {"128", "160", "200", "224", "240", "256", "512"};
inline const std::vector<std::string> kRamBufferMain = {"off",        "4 Mbytes",   "8 Mbytes",   "12 Mbytes",
                                                        "16 Mbytes",  "32 Mbytes",  "64 Mbytes",  "96 Mbytes",
                                                        "128 Mbytes", "192 Mbytes", "256 Mbytes"};
inline const std::vector<std::string> kRamBufferBasic = {"off",        "4 Mbytes",   "8 Mbytes",   "12 Mbytes",
                                                         "16 Mbytes",  "32 Mbytes",  "64 Mbytes",  "96 Mbytes",
                                                         "128 Mbytes", "160 Mbytes", "192 Mbytes", "256 Mbytes"};
inline const std::vector<std::string> kColourScaleMain = {
    "0 wb",     "1 bw",      "2 wb sharp", "3 bw sharp", "4 wb +sharp", "5 bw +sharp ", "6 ",
    "7 sepia",  "8 rainbow", "9 rainbow",  "10 colour",  "11 wyrbb",    "12 w-violet",  "13 b-red",
    "14 w-cyan", "15 b-green", "16 w-pink", "17 w-yellow", "18",        "19",           "20"};
inline const std::vector<std::string> kColourScaleBasic = {
    "0 wb", "1 bw", "2 wb sharp", "3 bw sharp", "4 wb +sharp", "5 bw +sharp", "6", "7 sepia", "8", "9", "10 colour",
    "11",   "12",   "13",         "14",         "15 green",    "15",          "16", "17",     "18", "19", "20"};
inline const std::vector<std::string> kChannels = {"1 - mono", "2 - stereo"};

// Recording, buffer and playback choices of the settings panel.
inline const std::vector<std::string> kFileMaxSize = {
    "1 MB",   "8 MB",   "16 MB",  "32 MB",             "64 MB",     "128 MB",     "256 MB",  "512 MB",
    "640 MB (CD size)", "659.18 MB", "680 MB (CD size)", "1000 MB", "1318.36 MB", "1360 MB", "2000 MB"};
inline const std::vector<std::string> kFileMode = {"1 - circular", "2 - single file", "3 - multiple file"};
inline const std::vector<std::string> kRamBufferMode = {"1 - circular", "2 - stop when full"};
inline const std::vector<std::string> kPlaySpeed = {"0.1", "0.125", "0.2", "0.25", "0.5", "1",
                                                    "2",   "4",     "5",   "8",    "10"};

// Advanced settings panel.
inline const std::vector<std::string> kAmplitudeScale = {"0 - dB", "1 - Linear"};
inline const std::vector<std::string> kWindowWidth = {"1024", "1280", "1600"};
inline const std::vector<std::string> kSnapshot = {"Spectrogram", "Form", "Screen"};
inline const std::vector<std::string> kUpdateRate = {"1", "2", "4", "8", "16", "32", "64"};
inline const std::vector<std::string> kTapeSpeed = {"0.1", "0.125", "0.25", "0.5", "1", "2", "4", "8", "10"};
inline const std::vector<std::string> kFrequencyDivision = {"1", "2", "4", "5", "8", "10", "16", "20"};
inline const std::vector<std::string> kSubSample = {"1", "2", "4", "8"};
inline const std::vector<std::string> kAveraging = {"0 - Off", "1 - Average On", "2 - Subtract Average",
                                                    "3 - Hold Max", "4 - Hold Max & Decay"};
inline const std::vector<std::string> kBlockSizeRTA = {"1024", "2048", "4096", "8192", "16384"};
inline const std::vector<std::string> kBlockSizeRec = {"2048", "4096", "8192", "16384", "32768"};
inline const std::vector<std::string> kBlockSizePbk = {"2048", "4096", "8192", "16384"};

// Tools panel.
inline const std::vector<std::string> kWaveInBuffers = {"1", "2", "4", "6", "8", "10", "12", "14", "16"};

}  // namespace qv::lists
