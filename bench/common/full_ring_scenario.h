#pragma once

namespace norvale::bench {

// The whole ring, full: 32,767 records of 8 channels x 4095 intervals + 7 channels x 1,
// placed from 08 80 08 and wrapping round to the end pointer 08 80 00. A download reads it in
// 1024 blocks of 128 words.
constexpr const char* kFullRingScenario = R"json({
  "description": "full log ring: 32,767 records from 08 80 08 round to 08 80 00",
  "channels": ["Flow", "Velocity", "Fwd Tot", "Rev Tot", "Level", "Temperature", "Pressure",
               "Battery"],
  "log": {
    "start": [8, 128, 8],
    "generator": [
      {"channels": [1, 2, 3, 4, 5, 6, 7, 8], "start": "2021-03-04T00:15",
       "interval_minutes": 15, "count": 4095,
       "values": {"1": "2.5 + sin(t / 100)", "2": [1.0, 1.5, 2.0], "3": "125000 + 2250 * i",
                  "4": 0, "5": "i % 97", "6": 12.5, "7": [3.25, 3.5], "8": 6.75}},
      {"channels": [1, 2, 3, 4, 5, 6, 7], "start": "2021-04-15T16:00",
       "interval_minutes": 15, "count": 1,
       "values": {"1": 2.5, "2": 1.5, "3": 9338750, "4": 0, "5": 21, "6": 12.5, "7": 3.25}}
    ],
    "end": [8, 128, 0]
  }
})json";
constexpr int kFullRingRecords = 32767;
constexpr int kFullRingIntervals = 4096;  // the 4095 full ones and the 7-channel one
constexpr int kFullRingBlocks = 1024;

}  // namespace norvale::bench
