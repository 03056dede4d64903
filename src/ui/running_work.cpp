#include "running_work.h"

bool RunningWork::BeginScan() {
    std::lock_guard lock(m_mutex);
    if (m_scan || m_adding > 0) return false;
    m_scan = m_scanWalking = true;
    return true;
}

void RunningWork::EndScanWalk() {
    std::lock_guard lock(m_mutex);
    m_scanWalking = false;
    ClearFlagWhenNothingToStop();
}

void RunningWork::EndScan() {
    std::lock_guard lock(m_mutex);
    m_scan = m_scanWalking = false;
    ClearFlagWhenNothingToStop();
}

bool RunningWork::ScanRunning() const {
    std::lock_guard lock(m_mutex);
    return m_scan;
}

bool RunningWork::BeginAdding() {
    std::lock_guard lock(m_mutex);
    if (m_scan) return false;
    ++m_adding;
    return true;
}

bool RunningWork::EndAdding() {
    std::lock_guard lock(m_mutex);
    if (m_adding > 0) --m_adding;
    ClearFlagWhenNothingToStop();
    return m_adding == 0;
}

bool RunningWork::AddingRunning() const {
    std::lock_guard lock(m_mutex);
    return m_adding > 0;
}

void RunningWork::RequestStop() {
    std::lock_guard lock(m_mutex);
    if (m_scanWalking || m_adding > 0) m_nStopFlag = 1;
}

void RunningWork::StopAll() {
    std::lock_guard lock(m_mutex);
    m_nStopFlag = 1;
}

void RunningWork::ClearFlagWhenNothingToStop() {
    if (!m_scanWalking && m_adding == 0) m_nStopFlag = 0;
}
