#pragma once
// The program's one uniform random stream: a combination of three small
// multiplicative congruential generators started from fixed seeds, so the
// same inputs always give the same report. The run owns exactly one stream
// and never reseeds it.

struct RandomStream {
    int s1 = 24;
    int s2 = 67;
    int s3 = 276;
};

// Returns u with 0 <= u < 1 and advances the stream.
double uniformRandom(RandomStream& stream);

// A normal deviate by the polar method; consumes two uniform numbers per attempt.
double normalDeviate(RandomStream& stream, double mean, double sd);
