#pragma once

#include <string>

// Settings of the end-to-end tests, as an operator writes them: sequence 0 raises TTL 3 for a
// 5 ms marker (5.1 ms, four script commands); sequence 1 keeps Blue on for ten minutes.
inline const std::string kMarkerSettings =
    "-AddSequence 0 \"Marker\"\n"
    "-AddSequenceCommandSet 0 0\n-AddSequenceCommand 0 0 \"-TTLHigh 3\"\n"
    "-AddSequenceCommand 0 0 \"-Duration 5\"\n"
    "-AddSequenceCommandSet 0 1\n-AddSequenceCommand 0 1 \"-TTLLow 3\"\n";
inline const std::string kLongSettings =
    "-AddSequence 1 \"Long\"\n-AddSequenceCommandSet 1 0\n"
    "-AddSequenceCommand 1 0 \"-On Blue\"\n-AddSequenceCommand 1 0 \"-Duration 600000\"\n";
