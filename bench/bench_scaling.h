// The linear-scaling benchmarks of the grid surfaces and the lightmap
// gathering, registered with Google Benchmark as "topic/10000" and
// "topic/1000000" (water, fluid, gather).
#pragma once

void register_scaling_benchmarks(int repetitions);
// Samples the gathering benchmark of `elements` takes: whole triangles of
// samples, so slightly more than asked for.
long gatherSamples(long elements);
