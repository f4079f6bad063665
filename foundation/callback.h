// Callbacks: the unit of work that the worker pool runs.
//
//   auto task = rezorev::Bind([this] { DoInstallComponent(); });
//   rezorev::WorkerPool::Instance().Post(task);
//
// A Binder holds one callable (a lambda with its captures) and any bound arguments; a Callback
// shares one Binder through an atomic reference count, so copies are cheap and may be made on one
// thread and destroyed on another. Destroying the last Callback that shares a Binder destroys the
// Binder. Callbacks and Binders are counted by the leak checker (cb_checker.h).
#pragma once

#include <memory>
#include <tuple>
#include <utility>

#include "foundation/cb_checker.h"

namespace rezorev {

// The type-erased core of a callback. Its one virtual member is the destructor; the call goes
// through a plain routine that the concrete binder sets at construction. Every construction adds
// one to the "BinderBase" live-instance counter, every destruction takes one off.
class BinderBase {
 public:
  using InvokeEntry = void (*)(BinderBase* self);

  virtual ~BinderBase() { BinderBaseLiveCount().fetch_sub(1); }
  BinderBase(const BinderBase&) = delete;
  BinderBase& operator=(const BinderBase&) = delete;

  void Invoke() { invoke_(this); }

 protected:
  explicit BinderBase(InvokeEntry invoke) : invoke_(invoke) { BinderBaseLiveCount().fetch_add(1); }

 private:
  InvokeEntry invoke_;
};

// A bound call of `F` with the arguments `Args...` stored beside it. `N` is the number of
// arguments left open at the call; the program only binds complete calls (N = 0).
template <int N, typename F, typename... Args>
class Binder final : public BinderBase {
  static_assert(N == 0, "only complete calls are bound");

 public:
  explicit Binder(F function, Args... args)
      : BinderBase(&Binder::Run), function_(std::move(function)), args_(std::move(args)...) {}

 private:
  static void Run(BinderBase* self) {
    Binder* binder = static_cast<Binder*>(self);
    std::apply(binder->function_, binder->args_);
  }

  F function_;
  std::tuple<Args...> args_;
};

template <typename Signature>
class Callback;

// A call without arguments and without result. Copying shares the binder, moving hands it over.
// An empty Callback (default-constructed or moved from) does nothing when called.
template <>
class Callback<void()> : public CBChecker {
 public:
  Callback() = default;
  explicit Callback(std::shared_ptr<BinderBase> binder) : binder_(std::move(binder)) {}
  Callback(const Callback&) = default;
  Callback(Callback&&) noexcept = default;
  Callback& operator=(const Callback&) = default;
  Callback& operator=(Callback&&) noexcept = default;
  ~Callback() override = default;

  void operator()() const {
    if (binder_) binder_->Invoke();
  }
  explicit operator bool() const { return binder_ != nullptr; }

 private:
  std::shared_ptr<BinderBase> binder_;
};

// Binds `function` with `args` (copied or moved into the binder) into a new Callback.
template <typename F, typename... Args>
Callback<void()> Bind(F function, Args... args) {
  return Callback<void()>(
      std::make_shared<Binder<0, F, Args...>>(std::move(function), std::move(args)...));
}

}  // namespace rezorev
