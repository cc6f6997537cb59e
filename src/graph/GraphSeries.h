#pragma once

// The two series of the graph: Rl (Series1) and Qd (Series2).
enum class GraphSeries { Rl = 0, Qd = 1 };

inline constexpr GraphSeries kBothSeries[] = {GraphSeries::Rl, GraphSeries::Qd};
