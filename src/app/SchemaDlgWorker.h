#pragma once

// For the window's own sources: how a worker changes the window.

#include "app/SchemaDlg.h"

#include <QMetaObject>
#include <QThread>

#include <memory>
#include <type_traits>

template <typename F>
auto CSchemaDlg::OnWindow(F&& change)
{
    if (QThread::currentThread() == thread())
        return change();
    using Result = std::invoke_result_t<F>;
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(this, std::forward<F>(change), Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            this, [&] { result = change(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

template <typename R>
std::optional<R> CSchemaDlg::OffWindow(std::function<R()> work, const QString& waitText)
{
    // The worker may outlive this call when Exit leaves it behind, so what
    // it writes must not live on this frame.
    auto result = std::make_shared<R>();
    if (!WaitOffWindow([result, work = std::move(work)] { *result = work(); }, waitText))
        return std::nullopt;
    return std::move(*result);
}
