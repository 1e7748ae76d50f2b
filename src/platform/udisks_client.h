// The desktop's disc service, UDisks2, as the drive table's source of optical drives and discs.
//
// On creation the client reads UDisks2's objects once (ObjectManager.GetManagedObjects) and
// from then on follows its signals (InterfacesAdded, InterfacesRemoved, PropertiesChanged), which
// arrive through the user-interface thread's event loop, the one every media wait lets run; the
// bus is never polled. The optical drives are the Drive objects whose drive takes optical media;
// their disc is the drive's whole block device (MediaAvailable, the audio and data track counts,
// the block's IdLabel and its Filesystem's MountPoints). While UDisks2 answers, the drive table
// takes its optical drives from here (optical_media.h); when it is not on the bus, or goes away,
// the table falls back to the kernel's files, and takes this view again when it comes back.
//
// Mounting: a data disc is mounted (Filesystem.Mount without options, as a file manager does) at
// most once per time it is inserted, and only when the media-present test asks for it. A refused
// or failed mount is not tried again until the disc is taken out and put back, and a disc that was
// mounted and then unmounted by someone else stays unmounted (an eject unmounts first, and must
// not be undone). The call waits kMountCallMs at most; a longer mount goes on in UDisks2 and
// shows as a new mount point when it is done. Nothing is ever unmounted here.
//
// User-interface thread only. One client at a time.
#pragma once

#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <string>
#include <vector>

#include "platform/optical_media.h"

class QDBusMessage;
class QDBusServiceWatcher;

namespace veldan {

inline constexpr char kUDisksService[] = "org.freedesktop.UDisks2";

class UDisksClient : public QObject, private OpticalMediaService {
  Q_OBJECT

 public:
  // The longest one call on the bus keeps the user-interface thread waiting.
  static constexpr int kReadCallMs = 2000;
  static constexpr int kMountCallMs = 1000;

  // Follows UDisks2 on bus (the system bus in the program). Without a connected bus it does
  // nothing and the drive table keeps the kernel's files.
  explicit UDisksClient(QDBusConnection bus, QObject* parent = nullptr);
  // Gives the optical drives back to the kernel's files.
  ~UDisksClient() override;
  UDisksClient(const UDisksClient&) = delete;
  UDisksClient& operator=(const UDisksClient&) = delete;

  // True while UDisks2's view is the drive table's.
  bool Active() const { return active_; }

 private slots:
  void OnInterfacesAdded(const QDBusMessage& message);
  void OnInterfacesRemoved(const QDBusMessage& message);
  void OnPropertiesChanged(const QDBusMessage& message);
  void OnServiceRegistered();
  void OnServiceUnregistered();

 private:
  // Interface name to its properties, of the interfaces this client reads.
  using Interfaces = QMap<QString, QVariantMap>;

  bool Mount(const std::string& handle, std::string* mount_point) override;

  // Reads all objects anew; false when UDisks2 did not answer.
  bool Fetch();
  // Makes the objects just read the drive table's view.
  void Activate();
  void Stop();
  // Hands the optical drives as they are now to the drive table.
  void Publish();
  std::vector<OpticalDriveState> OpticalDrives() const;
  // The state of one block device of an optical drive; false when path is none.
  bool OpticalBlock(const QString& path, OpticalDriveState* state) const;

  QDBusConnection bus_;
  QDBusServiceWatcher* watcher_ = nullptr;
  bool active_ = false;
  QMap<QString, Interfaces> objects_;
  // Block devices whose present disc has had its one mount: tried, refused or done.
  QSet<QString> mount_tried_;
  // What the drive table was last given.
  std::vector<OpticalDriveState> published_;
};

}  // namespace veldan
