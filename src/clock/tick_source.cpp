#include "clock/tick_source.h"

#include "core/shared.h"

namespace {

void NoTicks() {}

}   // namespace

const TickSource SteppedTickSource = {"stepped", NoTicks, NoTicks};

namespace {

const TickSource* Source = &SteppedTickSource;

}   // namespace

void UseTickSource(const TickSource* source)
{
    const TickSource* next = source != nullptr ? source : &SteppedTickSource;
    if (next != Source)
        Source->stop();
    Source = next;
}

const TickSource* CurrentTickSource() { return Source; }

void StartFrameTimer() { Source->start(); }

void StopFrameTimer() { Source->stop(); }

void TickHandler()
{
    for (auto& counter : TickCounters)
        counter.fetch_add(1, std::memory_order_relaxed);
}
