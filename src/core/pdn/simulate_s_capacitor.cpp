#include "pdn/simulate_s_capacitor.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "board/settings.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "diagram/diagram_axes.h"

namespace korvex {

SimulateSCapacitorData gSimulateSCapacitor;

namespace {
constexpr int kZ11cCurve = 0;
constexpr float kZ11cMaxY = 1000.0f;
constexpr float kZ11cMinY = 0.001f;
}  // namespace

int AllocSimulateSCapacitor(SimulateSCapacitorData* data, int points)
{
    if (data == nullptr || points < 0) return -1;
    FreeSimulateSCapacitor(data);
    data->Points = points;
    data->Frequency.assign(points, 0.0);
    for (auto* array : {&data->S11, &data->S21, &data->S12, &data->S22, &data->Z11c}) array->assign(points, DComplex{});
    return 0;
}

void FreeSimulateSCapacitor(SimulateSCapacitorData* data)
{
    if (data == nullptr) return;
    data->Points = 0;
    data->Frequency.clear();
    for (auto* array : {&data->S11, &data->S21, &data->S12, &data->S22, &data->Z11c}) array->clear();
}

DComplex CapacitorLoadedZ11(double frequency, const DComplex& s11, const DComplex& s21, const DComplex& s12,
                            const DComplex& s22, float capacitance, float esr, float esl)
{
    const DComplex one = Complex(1.0, 0.0);
    const DComplex reference = Complex(kSParameterReference, 0.0);
    DComplex gamma = one;  // open end
    if (frequency > 0 && capacitance > 0) {
        const double w = 2.0 * 3.141592653589793 * frequency;
        const DComplex zc = Complex(esr, w * esl - 1.0 / (w * capacitance));
        gamma = Cdiv(Csub(zc, reference), Cadd(zc, reference));
    }
    const DComplex transfer = Cdiv(Cmul(Cmul(s21, s12), gamma), Csub(one, Cmul(s22, gamma)));
    const DComplex gammaIn = Cadd(s11, transfer);
    return RCmul(kSParameterReference, Cdiv(Cadd(one, gammaIn), Csub(one, gammaIn)));
}

int PrepareSimulateSCapacitorDiagram(Diagram* diagram, const Settings* settings, const SimulateSCapacitorData* data)
{
    if (diagram == nullptr || settings == nullptr || data == nullptr || data->Points <= 0) return -1;
    KillDiagram(diagram);
    InitDiagram(diagram, nullptr);
    {
        std::lock_guard<std::mutex> guard(diagram->Lock);
        diagram->fMinX = static_cast<float>(settings->StartFrequency);
        diagram->fMaxX = static_cast<float>(settings->StopFrequency);
        diagram->fGridX = (diagram->fMaxX - diagram->fMinX) / 10;
        diagram->YAxis = settings->YAxisMode;
        diagram->bLogX = settings->LogFrequencyAxis;
        diagram->fMaxY = 0.1f;
        diagram->fMinY = 0.01f;
        diagram->fGridY = 0.05f;
    }
    return InitDiagramData(diagram, "Z11c", kZ11cCurve, data->Points);
}

int SimulateSCapacitorDrawDiagram(Diagram* diagram, const Cap* capacitor, SimulateSCapacitorData* data)
{
    if (diagram == nullptr || capacitor == nullptr || data == nullptr || data->Points <= 0) return -1;
    const size_t points = static_cast<size_t>(data->Points);
    for (const auto* array : {&data->S11, &data->S21, &data->S12, &data->S22})
        if (array->size() < points) return -1;
    if (data->Frequency.size() < points) return -1;
    data->Z11c.resize(points);
    if (diagram->Curve[kZ11cCurve].PointCount != data->Points ||
        !DiagramCurveHasData(diagram->Curve[kZ11cCurve]))
        if (InitDiagramData(diagram, "Z11c", kZ11cCurve, data->Points) != 0) return -1;

    for (size_t k = 0; k < points; ++k) {
        const DComplex z = CapacitorLoadedZ11(data->Frequency[k], data->S11[k], data->S21[k], data->S12[k],
                                              data->S22[k], capacitor->Capacitance, capacitor->ESR, capacitor->ESL);
        data->Z11c[k] = z;
        SetDataPoint(diagram, kZ11cCurve, static_cast<int>(k), static_cast<float>(data->Frequency[k]),
                     static_cast<float>(z.r), static_cast<float>(z.i));
    }
    {
        std::lock_guard<std::mutex> guard(diagram->Lock);
        diagram->fMaxY = RoundUpToOneSignificantDigit(kZ11cMaxY);
        diagram->fMinY = diagram->YAxis == kYAxisLinear ? 0.0f : kZ11cMinY;
        diagram->fGridY = diagram->fMaxY / 10;
    }
    UpdateDiagram(diagram);
    return 0;
}

int BuildBoardCapacitorList(const SimMatrix* board, CapDatabase* list)
{
    if (list == nullptr) return -1;
    EmptyCapDatabase(list);
    std::vector<Part*> caps;
    for (Part* p = GetFirstPart(board); p != nullptr; p = GetNextPart(p))
        if (p->Kind == PART_CAP) caps.push_back(p);
    std::stable_sort(caps.begin(), caps.end(),
                     [](const Part* a, const Part* b) { return PartRecord<Cap>(a)->Ref < PartRecord<Cap>(b)->Ref; });
    for (Part* p : caps) {
        const Cap* cap = PartRecord<Cap>(p);
        CapRecord record;
        record.Ref = cap->Ref;
        record.Capacitance = cap->Capacitance;
        record.ESR = cap->ESR;
        record.ESL = cap->ESL;
        record.pPart = p;
        AddCap(list, list->Count, &record);
    }
    return list->Count;
}

int CheckSimulateSCapacitor(const SimMatrix* board, uint32_t portId, uint32_t capRef, PdnMessage* message)
{
    if (GetPartfromID(board, PART_PORT, portId) == nullptr) {
        SetPdnMessage(message, "Error", "Did not find Port %u", portId);
        return -1;
    }
    if (GetPartfromID(board, PART_CAP, capRef) == nullptr) {
        SetPdnMessage(message, "Error", "Did not find Capacitor C%u; place a capacitor to terminate", capRef);
        return -1;
    }
    return 0;
}

int SetBoardCapacitorValues(SimMatrix* board, uint32_t capRef, float capacitance, float esr, float esl,
                            CapDatabase* boardList)
{
    Part* part = GetPartfromID(board, PART_CAP, capRef);
    if (part == nullptr) return -1;
    Cap* cap = PartRecord<Cap>(part);
    cap->Capacitance = capacitance;
    cap->ESR = esr;
    cap->ESL = esl;
    for (int i = 0; boardList != nullptr && i < boardList->Count; ++i)
        if (boardList->Caps[i].Ref == capRef) {
            boardList->Caps[i].Capacitance = capacitance;
            boardList->Caps[i].ESR = esr;
            boardList->Caps[i].ESL = esl;
        }
    return 0;
}

}  // namespace korvex
