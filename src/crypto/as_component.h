#pragma once
// Base of every crypto kit component, the kit's exceptions and the process-wide algorithm
// registry that maps algorithm names and OIDs to component classes.
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/exception.h"

namespace qv {

QV_DECLARE_EXCEPTION(ErrorCipher, Exception);
QV_DECLARE_EXCEPTION(ErrorBase64, Exception);

// printf-style formatting of the kit's fixed message texts.
std::string KitFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Descriptive texts of a component; nothing depends on them.
struct TAS_AboutInfo {
  std::string Title = "Quarvel crypto kit";
  std::string Copyright;
};

class TAS_Component;

// A registered class: its name and the function that creates an instance.
struct TComponentClass {
  const char* ClassName;
  TComponent* (*Create)(TComponent* owner);
};

class TAS_Component : public TComponent {
public:
  explicit TAS_Component(TComponent* owner = nullptr);
  ~TAS_Component() override;
  std::string ClassName() const override { return "TAS_Component"; }

  TAS_AboutInfo& About() { return *about_; }

  const std::string& ObjectID() const { return object_id_; }
  virtual void SetObjectID(const std::string& value);
  const std::string& AlgorithmName() const { return algorithm_name_; }
  void SetAlgorithmName(const std::string& name) { algorithm_name_ = name; }

  TNotifyEvent OnChangeOID;

  // Formats nothing further: raises ErrorCipher with the text.
  [[noreturn]] void Error(const std::string& message) const;

  void LinkTo(TAS_Component* target);
  void UnlinkFrom(TAS_Component* target);
  const std::vector<TAS_Component*>& LinkedComponents() const { return linked_; }
  void NotifyLinked(const std::string& prop_name);

  // Members react to a change of a component they are linked to.
  virtual void LinkedChanged(TAS_Component* sender, const std::string& prop_name);

protected:
  virtual void ObjectIDChanged();
  void Notification(TComponent* component, TOperation operation) override;
  // Sets the OID without notifications (constructors).
  void InitObjectID(const std::string& oid) { object_id_ = oid; }

private:
  std::unique_ptr<TAS_AboutInfo> about_;
  std::string object_id_;
  std::string algorithm_name_;
  std::vector<TAS_Component*> linked_;
};

// Algorithm registry. Names are compared ignoring case; the first registration of a name wins;
// each OID=Name line is kept once. An empty name registers nothing.
void RegisterAlgorithm(const std::string& name, const std::string& oid, const TComponentClass* cls);
const TComponentClass* FindAlgorithmClass(const std::string& name);
std::string AlgorithmNameOfOID(const std::string& oid);
const TComponentClass* FindAlgorithmClassByOID(const std::string& oid);
// A new instance without owner (null when the OID is not registered); a kit component gets
// the OID as its ObjectID.
std::unique_ptr<TComponent> CreateAlgorithmByOID(const std::string& oid);

}  // namespace qv
