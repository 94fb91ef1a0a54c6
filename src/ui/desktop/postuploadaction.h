#pragma once
// What the client does once the upload queue has drained: nothing, quit,
// suspend or power off. A chosen action runs after a countdown that the user
// (or any new upload) can cancel; afterwards the choice returns to nothing.

#include <QObject>
#include <QTimer>

class UploadActivity;

class PostUploadAction : public QObject
{
    Q_OBJECT
public:
    enum class Choice
    {
        Nothing,
        Quit,
        Sleep,
        Shutdown,
    };
    Q_ENUM(Choice)

    static constexpr int kCountdownSeconds = 60;

    // Follows `activity`: a drained queue with at least one success starts the
    // countdown, new work cancels it.
    explicit PostUploadAction(UploadActivity* activity, QObject* parent = nullptr);

    Choice choice() const { return choice_; }
    void setChoice(Choice choice);
    void setCountdownSeconds(int seconds) { countdownSeconds_ = qMax(0, seconds); }

    bool counting() const { return timer_.isActive(); }
    int remaining() const { return remaining_; }

    // Starts the countdown for the current choice; false when the choice is nothing.
    bool StartCountdown();
    void Cancel();

signals:
    void SignalChoiceChanged(PostUploadAction::Choice choice);
    void SignalCountdownStarted(PostUploadAction::Choice choice, int seconds);
    void SignalCountdownTick(int remaining);
    // performed: the action ran (or was handed to the OS); false when cancelled.
    void SignalCountdownEnded(bool performed);
    // The quit action: the shell leaves the program through its exit path.
    void SignalQuitRequested();
    void SignalPerformFailed(const QString& error);

private:
    void OnTick();
    void Perform(Choice choice);

    QTimer timer_;
    Choice choice_ = Choice::Nothing;
    Choice pending_ = Choice::Nothing;
    int countdownSeconds_ = kCountdownSeconds;
    int remaining_ = 0;
};
