// The interfaces the library implements for the host: the plug-in object's
// and the compiler component's, slot for slot.
#pragma once

#include <cstdint>

#include <xmlcompiler/com/buffer.h>
#include <xmlcompiler/com/host.h>
#include <xmlcompiler/com/unknown.h>

namespace oxa {

// {00000C00-0901-11D1-8B06-00A024406D59}
inline constexpr Guid kIidPlugin = {
    0x00000C00, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
// {F8A31571-22AC-11D4-9503-00902790299C}
inline constexpr Guid kIidComponentPlugin = {
    0xF8A31571, 0x22AC, 0x11D4, {0x95, 0x03, 0x00, 0x90, 0x27, 0x90, 0x29, 0x9C}};
// {F09E8891-8E2D-11D4-82DB-00D0B74C2D25}
inline constexpr Guid kIidPluginNamespace = {
    0xF09E8891, 0x8E2D, 0x11D4, {0x82, 0xDB, 0x00, 0xD0, 0xB7, 0x4C, 0x2D, 0x25}};
// {5C1020F7-312F-4869-89B2-AD2E2E8D5745}
inline constexpr Guid kIidXmlCompiler = {
    0x5C1020F7, 0x312F, 0x4869, {0x89, 0xB2, 0xAD, 0x2E, 0x2E, 0x8D, 0x57, 0x45}};
// {FCB59961-B347-11D3-87EB-009027902B2D}
inline constexpr Guid kIidContextAware = {
    0xFCB59961, 0xB347, 0x11D3, {0x87, 0xEB, 0x00, 0x90, 0x27, 0x90, 0x2B, 0x2D}};
// {7D4E1A52-3C8B-4F06-9A1D-5B2E8C7F3A61}: the compiler's findings; this
// project's own interface, which the framework never asks for.
inline constexpr Guid kIidXmlCompilerDiagnostics = {
    0x7D4E1A52, 0x3C8B, 0x4F06, {0x9A, 0x1D, 0x5B, 0x2E, 0x8C, 0x7F, 0x3A, 0x61}};
// {15223CBA-F92B-4ED3-AF11-E7AD48F047A9}: the XML compiler component.
inline constexpr Guid kClsidXmlCompiler = {
    0x15223CBA, 0xF92B, 0x4ED3, {0xAF, 0x11, 0xE7, 0xAD, 0x48, 0xF0, 0x47, 0xA9}};

struct IPlugin : IUnknown {
  static constexpr const Guid& kIid = kIidPlugin;
  // Constant texts; the caller does not free them.
  virtual HResult OXA_CALL GetPluginInfo(std::uint32_t* flag, const char** description,
                                         const char** copyright, const char** infoText,
                                         std::uint32_t* number) = 0;
  // Takes the host's class factory from `context`.
  virtual HResult OXA_CALL InitPlugin(IUnknown* context) = 0;

 protected:
  ~IPlugin() = default;
};

struct IComponentPlugin : IUnknown {
  static constexpr const Guid& kIid = kIidComponentPlugin;
  virtual std::uint32_t OXA_CALL GetNumComponents() = 0;
  virtual const char* OXA_CALL GetPackageName() = 0;
  // A new property set describing component `index`; the caller owns the reference.
  virtual HResult OXA_CALL GetComponentInfoAtIndex(std::int32_t index, IValues** values) = 0;
  // Creates the component `classId`, aggregated by `outer` when not null.
  virtual HResult OXA_CALL CreateComponentInstance(const Guid& classId, IUnknown** out,
                                                   IUnknown* outer) = 0;

 protected:
  ~IComponentPlugin() = default;
};

struct IPluginNamespace : IUnknown {
  static constexpr const Guid& kIid = kIidPluginNamespace;
  // A new buffer holding the library's XML namespace and its zero byte.
  virtual HResult OXA_CALL GetNamespace(IBuffer** out) = 0;

 protected:
  ~IPluginNamespace() = default;
};

struct IXmlCompiler : IUnknown {
  static constexpr const Guid& kIid = kIidXmlCompiler;
  // Compiles the XML document in `input`; on success `out` holds a new buffer
  // with the compiled document and one reference for the caller.
  virtual HResult OXA_CALL Compile(IBuffer* input, IBuffer** out) = 0;

 protected:
  ~IXmlCompiler() = default;
};

// The compiler's own XML namespace; `insertlayout` is recognised without a
// prefix and in this namespace, and the plug-in reports it as its namespace.
// Part of the document format: never changes.
inline constexpr char CompilerNamespaceUri[] = "urn:oxa:xmlcompiler";

// The directive's words, part of the document format as well: the element
// `insertlayout` stands for copies of the children of the element whose
// attribute "id" equals its attribute "layoutid".
inline constexpr char kDirectiveName[] = "insertlayout";
inline constexpr char kLayoutIdAttribute[] = "layoutid";
inline constexpr char kIdAttribute[] = "id";

// The property of a component's catalogue entry that holds its class id.
inline constexpr char kComponentClassIdProperty[] = "ComponentCLSID";

// The longest name or attribute value a compiled document holds, in bytes.
inline constexpr std::uint32_t kMaxTextLength = 0xFFFFFF;

// Layout insertion may create at most kExpansionFloor nodes per
// compilation, or kExpansionFactor times the number of elements delivered,
// whichever is larger.
#ifdef OXA_EXPANSION_FLOOR
inline constexpr std::uint64_t kExpansionFloor = OXA_EXPANSION_FLOOR;  // a lower bound for fuzzing
#else
inline constexpr std::uint64_t kExpansionFloor = 1000000;
#endif
inline constexpr std::uint64_t kExpansionFactor = 100;

// What a compilation found. Values never change meaning: hosts store them.
enum class FindingKind : std::uint32_t {
  // Warnings: the document compiled, but something the author wrote had no effect.
  kMissingLayoutId = 1,  // a directive without "layoutid", or with an empty one
  kUnknownLayout = 2,    // a directive whose "layoutid" matches no element before it
  kEmptyLayout = 3,      // the element a directive names has no children there
  kDuplicateId = 4,      // several elements carry an id that a directive names
  kNotADirective = 5,    // local name insertlayout, but another namespace or case
  // Errors: why a compilation failed.
  kExpansionBound = 16,  // layout expansion went over its bound
  kTextTooLong = 17,     // a name or value over 16,777,215 bytes
  kNoRoot = 18,          // the document delivered no element
  kOutOfMemory = 19,     // memory ran out
};

// The findings of the compiler's last Compile, whether it succeeded or
// failed; they live until the next Compile.
struct IXmlCompilerDiagnostics : IUnknown {
  static constexpr const Guid& kIid = kIidXmlCompilerDiagnostics;
  // The number of findings.
  virtual HResult OXA_CALL GetFindingCount(std::uint32_t* count) = 0;
  // Finding `index`: its FindingKind, the ordinals of the start events of its
  // element and of a related element (0: none), and two zero-terminated
  // texts owned by the compiler, valid until the next Compile. 0x80070057 for
  // an index past the count, 0x80004003 for a null out pointer.
  virtual HResult OXA_CALL GetFinding(std::uint32_t index, std::uint32_t* kind,
                                      std::uint32_t* element, std::uint32_t* related,
                                      const char** text, const char** other) = 0;

 protected:
  ~IXmlCompilerDiagnostics() = default;
};

struct IContextAware : IUnknown {
  static constexpr const Guid& kIid = kIidContextAware;
  // Takes the host's class factory from `context`; 0x80004005 when it has none.
  virtual HResult OXA_CALL SetContext(IUnknown* context) = 0;

 protected:
  ~IContextAware() = default;
};

}  // namespace oxa
