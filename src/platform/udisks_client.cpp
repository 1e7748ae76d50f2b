#include "platform/udisks_client.h"

#include <QByteArrayList>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <algorithm>
#include <iterator>
#include <utility>

namespace veldan {
namespace {

constexpr char kManagerPath[] = "/org/freedesktop/UDisks2";
constexpr char kObjectManager[] = "org.freedesktop.DBus.ObjectManager";
constexpr char kProperties[] = "org.freedesktop.DBus.Properties";
constexpr char kDrive[] = "org.freedesktop.UDisks2.Drive";
constexpr char kBlock[] = "org.freedesktop.UDisks2.Block";
constexpr char kFilesystem[] = "org.freedesktop.UDisks2.Filesystem";
constexpr char kPartition[] = "org.freedesktop.UDisks2.Partition";

// The interfaces whose properties tell the optical drives and their discs.
bool IsRead(const QString& interface) {
  return interface == QLatin1String(kDrive) || interface == QLatin1String(kBlock) ||
         interface == QLatin1String(kFilesystem) || interface == QLatin1String(kPartition);
}

// UDisks2's byte strings (ay) end in a zero.
QByteArray ByteString(const QVariant& value) {
  QByteArray bytes = value.toByteArray();
  const qsizetype zero = bytes.indexOf('\0');
  if (zero >= 0) bytes.truncate(zero);
  return bytes;
}

// A property value as it is kept: lists of byte strings (aay: MountPoints) become
// QByteArrayList, other compound values that this client does not read are dropped, so nothing
// kept refers back to a message.
QVariant KeptValue(const QVariant& value) {
  if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return value;
  const auto arg = value.value<QDBusArgument>();
  if (arg.currentSignature() != QLatin1String("aay")) return {};
  QByteArrayList list;
  arg.beginArray();
  while (!arg.atEnd()) {
    QByteArray bytes;
    arg >> bytes;
    list.append(ByteString(bytes));
  }
  arg.endArray();
  return QVariant::fromValue(list);
}

// a{sv}, read from where arg stands.
QVariantMap ReadProperties(const QDBusArgument& arg) {
  QVariantMap properties;
  if (arg.currentSignature() != QLatin1String("a{sv}")) return properties;
  arg.beginMap();
  while (!arg.atEnd()) {
    QString name;
    QVariant value;
    arg.beginMapEntry();
    arg >> name >> value;
    arg.endMapEntry();
    const QVariant kept = KeptValue(value);
    if (kept.isValid()) properties.insert(name, kept);
  }
  arg.endMap();
  return properties;
}

QVariantMap PropertiesOf(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusArgument>())
    return ReadProperties(value.value<QDBusArgument>());
  QVariantMap properties;
  const QVariantMap map = value.toMap();
  for (auto it = map.begin(); it != map.end(); ++it) {
    const QVariant kept = KeptValue(it.value());
    if (kept.isValid()) properties.insert(it.key(), kept);
  }
  return properties;
}

// a{sa{sv}} from where arg stands, only the interfaces this client reads.
QMap<QString, QVariantMap> ReadInterfaces(const QDBusArgument& arg) {
  QMap<QString, QVariantMap> interfaces;
  if (arg.currentSignature() != QLatin1String("a{sa{sv}}")) return interfaces;
  arg.beginMap();
  while (!arg.atEnd()) {
    QString name;
    arg.beginMapEntry();
    arg >> name;
    QVariantMap properties = ReadProperties(arg);
    arg.endMapEntry();
    if (IsRead(name)) interfaces.insert(name, std::move(properties));
  }
  arg.endMap();
  return interfaces;
}

bool SameDrives(const std::vector<OpticalDriveState>& a, const std::vector<OpticalDriveState>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const OpticalDriveState& x = a[i];
    const OpticalDriveState& y = b[i];
    if (x.device != y.device || x.handle != y.handle || x.rdev != y.rdev ||
        x.has_rdev != y.has_rdev || x.medium != y.medium || x.label != y.label ||
        x.mount_point != y.mount_point) {
      return false;
    }
  }
  return true;
}

}  // namespace

UDisksClient::UDisksClient(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
  if (!bus_.isConnected()) return;
  const QString service = QLatin1String(kUDisksService);
  // Subscribed before the objects are read, so no change falls between the two.
  bus_.connect(service, QLatin1String(kManagerPath), QLatin1String(kObjectManager),
               QStringLiteral("InterfacesAdded"), this, SLOT(OnInterfacesAdded(QDBusMessage)));
  bus_.connect(service, QLatin1String(kManagerPath), QLatin1String(kObjectManager),
               QStringLiteral("InterfacesRemoved"), this, SLOT(OnInterfacesRemoved(QDBusMessage)));
  // Every object's property changes: an empty path matches them all.
  bus_.connect(service, QString(), QLatin1String(kProperties), QStringLiteral("PropertiesChanged"),
               this, SLOT(OnPropertiesChanged(QDBusMessage)));
  watcher_ = new QDBusServiceWatcher(
      service, bus_,
      QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
      this);
  connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this,
          &UDisksClient::OnServiceRegistered);
  connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
          &UDisksClient::OnServiceUnregistered);
  if (Fetch()) Activate();
}

void UDisksClient::Activate() {
  active_ = true;
  published_.clear();
  Publish();
  UseOpticalMediaService(this, published_);
}

UDisksClient::~UDisksClient() {
  if (active_) UseOpticalMediaService(nullptr, {});
}

bool UDisksClient::Fetch() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QLatin1String(kUDisksService), QLatin1String(kManagerPath), QLatin1String(kObjectManager),
      QStringLiteral("GetManagedObjects"));
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kReadCallMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
  const QVariant first = reply.arguments().at(0);
  if (first.metaType() != QMetaType::fromType<QDBusArgument>()) return false;
  const auto arg = first.value<QDBusArgument>();
  if (arg.currentSignature() != QLatin1String("a{oa{sa{sv}}}")) return false;
  objects_.clear();
  arg.beginMap();
  while (!arg.atEnd()) {
    QDBusObjectPath path;
    arg.beginMapEntry();
    arg >> path;
    Interfaces interfaces = ReadInterfaces(arg);
    arg.endMapEntry();
    if (!interfaces.isEmpty()) objects_.insert(path.path(), std::move(interfaces));
  }
  arg.endMap();
  return true;
}

void UDisksClient::Stop() {
  if (!active_) return;
  active_ = false;
  objects_.clear();
  published_.clear();
  UseOpticalMediaService(nullptr, {});
}

void UDisksClient::OnServiceRegistered() {
  // UDisks2 started (or started again): its objects are all new.
  if (Fetch()) Activate();
}

void UDisksClient::OnServiceUnregistered() {
  Stop();
}

void UDisksClient::OnInterfacesAdded(const QDBusMessage& message) {
  const QList<QVariant> args = message.arguments();
  if (!active_ || args.size() < 2 || args[1].metaType() != QMetaType::fromType<QDBusArgument>())
    return;
  const QString path = args[0].value<QDBusObjectPath>().path();
  const Interfaces added = ReadInterfaces(args[1].value<QDBusArgument>());
  if (path.isEmpty() || added.isEmpty()) return;
  Interfaces& interfaces = objects_[path];
  for (auto it = added.begin(); it != added.end(); ++it) interfaces.insert(it.key(), it.value());
  Publish();
}

void UDisksClient::OnInterfacesRemoved(const QDBusMessage& message) {
  const QList<QVariant> args = message.arguments();
  if (!active_ || args.size() < 2) return;
  const auto object = objects_.find(args[0].value<QDBusObjectPath>().path());
  if (object == objects_.end()) return;
  for (const QString& name : args[1].toStringList()) object->remove(name);
  if (object->isEmpty()) objects_.erase(object);
  Publish();
}

void UDisksClient::OnPropertiesChanged(const QDBusMessage& message) {
  const QList<QVariant> args = message.arguments();
  if (!active_ || args.size() < 2) return;
  const QString interface = args[0].toString();
  // An object or interface not yet known comes with all its properties in InterfacesAdded.
  const auto object = objects_.find(message.path());
  if (!IsRead(interface) || object == objects_.end() || !object->contains(interface)) return;
  QVariantMap& properties = (*object)[interface];
  const QVariantMap changed = PropertiesOf(args[1]);
  for (auto it = changed.begin(); it != changed.end(); ++it)
    properties.insert(it.key(), it.value());
  if (args.size() >= 3) {
    for (const QString& name : args[2].toStringList()) properties.remove(name);
  }
  Publish();
}

bool UDisksClient::OpticalBlock(const QString& path, OpticalDriveState* state) const {
  const auto object = objects_.find(path);
  // The whole disc only: a partition of one is never the drive's root.
  if (object == objects_.end() || !object->contains(QLatin1String(kBlock)) ||
      object->contains(QLatin1String(kPartition))) {
    return false;
  }
  const QVariantMap block = object->value(QLatin1String(kBlock));
  const auto drive_object =
      objects_.find(block.value(QStringLiteral("Drive")).value<QDBusObjectPath>().path());
  if (drive_object == objects_.end() || !drive_object->contains(QLatin1String(kDrive)))
    return false;
  const QVariantMap drive = drive_object->value(QLatin1String(kDrive));
  // Optical tells of the disc in the drive; an empty drive shows what it takes.
  bool optical = drive.value(QStringLiteral("Optical")).toBool();
  for (const QString& media : drive.value(QStringLiteral("MediaCompatibility")).toStringList())
    optical = optical || media.startsWith(QLatin1String("optical"));
  if (!optical) return false;

  QByteArray device = ByteString(block.value(QStringLiteral("Device")));
  if (device.isEmpty()) device = ByteString(block.value(QStringLiteral("PreferredDevice")));
  const qsizetype slash = device.lastIndexOf('/');
  device = device.mid(slash + 1);
  if (device.isEmpty()) return false;

  *state = OpticalDriveState{};
  state->device = device.toStdString();
  state->handle = path.toStdString();
  bool has_number = false;
  const qulonglong number = block.value(QStringLiteral("DeviceNumber")).toULongLong(&has_number);
  if (has_number && block.contains(QStringLiteral("DeviceNumber"))) {
    state->rdev = static_cast<dev_t>(number);
    state->has_rdev = true;
  }
  if (drive.value(QStringLiteral("MediaAvailable")).toBool()) {
    const uint audio = drive.value(QStringLiteral("OpticalNumAudioTracks")).toUInt();
    const uint data = drive.value(QStringLiteral("OpticalNumDataTracks")).toUInt();
    if (audio > 0 && data == 0) {
      state->medium = OpticalMedium::kAudio;
    } else if (object->contains(QLatin1String(kFilesystem))) {
      state->medium = OpticalMedium::kData;
    }
  }
  if (state->medium == OpticalMedium::kData) {
    state->label = block.value(QStringLiteral("IdLabel")).toString().toStdString();
    const QByteArrayList points = object->value(QLatin1String(kFilesystem))
                                      .value(QStringLiteral("MountPoints"))
                                      .value<QByteArrayList>();
    if (!points.isEmpty()) state->mount_point = points.first().toStdString();
  }
  return true;
}

std::vector<OpticalDriveState> UDisksClient::OpticalDrives() const {
  std::vector<OpticalDriveState> drives;
  QSet<QString> seen_drives;
  for (auto it = objects_.begin(); it != objects_.end(); ++it) {
    OpticalDriveState state;
    if (!OpticalBlock(it.key(), &state)) continue;
    // One block device per drive (a drive seen through two paths shows once).
    const QString drive = it->value(QLatin1String(kBlock))
                              .value(QStringLiteral("Drive"))
                              .value<QDBusObjectPath>()
                              .path();
    if (seen_drives.contains(drive)) continue;
    seen_drives.insert(drive);
    drives.push_back(std::move(state));
  }
  std::stable_sort(drives.begin(), drives.end(), [](const auto& a, const auto& b) {
    return KernelDeviceOrder(a.device, b.device);
  });
  return drives;
}

void UDisksClient::Publish() {
  if (!active_) return;
  std::vector<OpticalDriveState> drives = OpticalDrives();
  // A disc that is gone takes its one try with it: the next disc in that drive gets its own.
  for (auto it = mount_tried_.begin(); it != mount_tried_.end();) {
    const std::string handle = it->toStdString();
    const bool still_there = std::any_of(drives.begin(), drives.end(), [&](const auto& d) {
      return d.handle == handle && d.medium == OpticalMedium::kData;
    });
    it = still_there ? std::next(it) : mount_tried_.erase(it);
  }
  // A disc that is mounted has had its mount, whoever made it: once unmounted (an eject begins
  // so) it is not mounted again behind the user's back.
  for (const OpticalDriveState& d : drives) {
    if (d.medium == OpticalMedium::kData && !d.mount_point.empty())
      mount_tried_.insert(QString::fromStdString(d.handle));
  }
  if (SameDrives(drives, published_)) return;
  published_ = drives;
  UpdateOpticalDrives(std::move(drives));
}

bool UDisksClient::Mount(const std::string& handle, std::string* mount_point) {
  const QString path = QString::fromStdString(handle);
  OpticalDriveState state;
  // Only an optical drive's data disc, as UDisks2 reports it at this moment.
  if (!active_ || !OpticalBlock(path, &state) || state.medium != OpticalMedium::kData) return false;
  if (!state.mount_point.empty()) {
    *mount_point = state.mount_point;
    return true;
  }
  if (mount_tried_.contains(path)) return false;
  mount_tried_.insert(path);
  QDBusMessage call = QDBusMessage::createMethodCall(
      QLatin1String(kUDisksService), path, QLatin1String(kFilesystem), QStringLiteral("Mount"));
  call << QVariantMap();
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kMountCallMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
  const QByteArray where = reply.arguments().at(0).toString().toUtf8();
  if (!where.startsWith('/')) return false;
  // The reply may come before the signal that shows the new mount point.
  QVariantMap& filesystem = objects_[path][QLatin1String(kFilesystem)];
  QByteArrayList points = filesystem.value(QStringLiteral("MountPoints")).value<QByteArrayList>();
  if (!points.contains(where)) {
    points.prepend(where);
    filesystem.insert(QStringLiteral("MountPoints"), QVariant::fromValue(points));
  }
  Publish();
  *mount_point = where.toStdString();
  return true;
}

}  // namespace veldan
