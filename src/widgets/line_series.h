#pragma once
#include "platform/colour.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The colour argument of AddXY meaning "no colour of its own": the point is
// drawn in the series colour.
inline constexpr TColor UseSeriesColor = 0x20000000;

enum TChartListOrder { loNone, loAscending, loDescending };

// One list of values of a series ("X" or "Y").
struct TChartValueList {
    std::string Name;
    double Multiplier = 1.0;
    bool DateTime = false;
    TChartListOrder Order = loNone;
    std::vector<double> Value;
};

// The point store of a chart series: parallel lists X, Y and, only once a
// point needs them, labels and colours. X is kept in ascending order.
class TChartSeries {
public:
    TChartSeries();
    virtual ~TChartSeries() = default;

    // Stores the point where ascending X puts it (after any equal X) and
    // returns its index; then tells the chart to redraw when Active.
    int AddXY(double x, double y, const std::string& label = {}, TColor colour = UseSeriesColor);

    // Removes every point from all lists and tells the chart to redraw.
    void Clear();

    int Count() const { return static_cast<int>(XValues.Value.size()); }

    // Texts and colours of the points; nullptr while no point has needed them.
    const std::vector<std::string>* Labels() const { return labels_.get(); }
    const std::vector<TColor>* Colors() const { return colors_.get(); }

    // Colour of point i: its own, or the series colour.
    TColor ValueColor(int i) const;

    TChartValueList XValues;
    TChartValueList YValues;
    TColor SeriesColor = 0x00008000;  // green
    bool Active = true;

    // Set by the chart that shows the series: called whenever the points change.
    std::function<void()> OnChange;

private:
    void Changed();

    std::unique_ptr<std::vector<std::string>> labels_;
    std::unique_ptr<std::vector<TColor>> colors_;
};

// The scan plot's line series: straight segments between consecutive points
// (index order, which is X order) with circle markers.
class TLineSeries : public TChartSeries {
public:
    bool PointerVisible = true;
    int PointerHorizSize = 2;  // pixels either side of the point
    int PointerVertSize = 2;
    TColor PointerColor = 0x00008000;         // marker fill: green
    TColor PointerOutlineColor = 0x0000FF00;  // marker outline: lime
    bool MarksVisible = false;
};
