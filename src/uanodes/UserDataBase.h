#pragma once

/// Application data attached to a node, made by BaseNode::createUserData. Subclasses carry the
/// data; the two hooks exist for them and do nothing here.
class UserDataBase {
public:
    UserDataBase() = default;
    virtual ~UserDataBase() = default;
    UserDataBase(const UserDataBase&) = default;
    UserDataBase& operator=(const UserDataBase&) = default;

    /// A number a subclass may use to tell kinds of user data apart; 0 for the standard kinds.
    virtual int kind() const { return 0; }
    /// Called when the data should be brought up to date; the standard kinds have nothing to do.
    virtual void refresh() {}
};
