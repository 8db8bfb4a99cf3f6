#pragma once

#include <cstdint>
#include <utility>

/// Reference counting of the library's shared objects. The count starts at 0: an object just
/// returned belongs to its receiver, whose single Release destroys it. AddRef adds an owner;
/// Release below 1 destroys the object, otherwise it drops the count by one.
class C_RefCounted {
 public:
  virtual ~C_RefCounted() = default;

  std::int32_t AddRef() { return ++m_refCount; }

  std::int32_t Release() {
    if (m_refCount < 1) {
      delete this;
      return 0;
    }
    return --m_refCount;
  }

 private:
  std::int32_t m_refCount = 0;
};

/// Owning handle of a reference-counted object: takes over the one reference it is given,
/// adds a reference when copied and calls Release when it goes away, so that no path leaks or
/// releases twice.
template <typename T>
class T_RefPtr {
 public:
  T_RefPtr() = default;
  /// Takes over the receiver's reference of `object` (no AddRef).
  explicit T_RefPtr(T* object) : m_object(object) {}
  T_RefPtr(const T_RefPtr& other) : m_object(other.m_object) {
    if (m_object != nullptr) {
      m_object->AddRef();
    }
  }
  T_RefPtr(T_RefPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  template <typename U>
  T_RefPtr(T_RefPtr<U>&& other) noexcept : m_object(other.Detach()) {}
  T_RefPtr& operator=(T_RefPtr other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }
  ~T_RefPtr() { Reset(); }

  void Reset() {
    if (T* object = std::exchange(m_object, nullptr)) {
      object->Release();
    }
  }
  /// Gives the reference up without releasing it.
  T* Detach() { return std::exchange(m_object, nullptr); }

  T* Get() const { return m_object; }
  T* operator->() const { return m_object; }
  T& operator*() const { return *m_object; }
  explicit operator bool() const { return m_object != nullptr; }

 private:
  T* m_object = nullptr;
};

/// Creates a reference-counted object owned by the returned handle.
template <typename T, typename... Args>
T_RefPtr<T> MakeRef(Args&&... args) {
  return T_RefPtr<T>(new T(std::forward<Args>(args)...));
}
