#include "widgets/line_series.h"

TChartSeries::TChartSeries()
{
    XValues.Name = "X";
    XValues.Order = loAscending;
    YValues.Name = "Y";
    YValues.Order = loNone;
}

int TChartSeries::AddXY(double x, double y, const std::string& label, TColor colour)
{
    std::vector<double>& xs = XValues.Value;
    int index = Count();
    if (!xs.empty() && x < xs.back()) {
        // Back from the end past every greater X: equal X values keep their order.
        index = Count() - 1;
        while (index >= 0 && xs[index] > x)
            --index;
        ++index;
    }
    xs.insert(xs.begin() + index, x);
    YValues.Value.insert(YValues.Value.begin() + index, y);

    if (!label.empty() || (labels_ && !labels_->empty())) {
        if (!labels_)
            labels_ = std::make_unique<std::vector<std::string>>(Count() - 1);
        labels_->insert(labels_->begin() + index, label);
    }
    if (colour != UseSeriesColor || colors_) {
        if (!colors_)
            colors_ = std::make_unique<std::vector<TColor>>(Count() - 1, UseSeriesColor);
        colors_->insert(colors_->begin() + index, colour);
    }
    if (Active)
        Changed();
    return index;
}

void TChartSeries::Clear()
{
    XValues.Value.clear();
    YValues.Value.clear();
    labels_.reset();
    colors_.reset();
    Changed();
}

TColor TChartSeries::ValueColor(int i) const
{
    if (colors_ && i >= 0 && i < static_cast<int>(colors_->size()) && (*colors_)[i] != UseSeriesColor)
        return (*colors_)[i];
    return SeriesColor;
}

void TChartSeries::Changed()
{
    if (OnChange)
        OnChange();
}
